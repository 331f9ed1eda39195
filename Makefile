# The two commands of the README. Both install missing Debian packages first.
.PHONY: demo test deps build

deps:
	@scripts/install-deps.sh

demo: deps
	@scripts/demo.sh

test: deps
	@scripts/test.sh

build: deps
	@scripts/build.sh
