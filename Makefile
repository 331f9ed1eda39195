# The two commands of the README. Both install missing Debian packages first.
.PHONY: demo test deps build bench-packer

deps:
	@scripts/install-deps.sh

demo: deps
	@scripts/demo.sh

test: deps
	@scripts/test.sh

build: deps
	@scripts/build.sh

bench-packer: deps
	@bench/packer/run.sh
