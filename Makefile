# The two commands of the README. Both install missing Debian packages first.
.PHONY: demo test deps build bench-packer bench-gauge

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

bench-gauge: deps
	@cmake --preset native >/dev/null && cmake --build --preset native --target gauge_bench
	@build/native/bench/gauge/gauge_bench --benchmark_repetitions=5 --benchmark_report_aggregates_only=true
