# The two commands of the README. Both install missing Debian packages first.
.PHONY: demo test deps build release-check bench-packer bench-gauge bench-setup fuzz-long

deps:
	@scripts/install-deps.sh

demo: deps
	@scripts/demo.py

test: deps
	@scripts/test.sh

build: deps
	@scripts/build.sh

# The medium built again from scratch in a folder of its own, compared with build/dist
# byte for byte (QVR_WINDOWS_ARCH=win64 for build/dist-win64).
release-check: deps
	@scripts/release-check.sh

bench-packer: deps
	@bench/packer/run.sh

# The whole installation under Wine against the bare unpack (bench/setup/run.py).
bench-setup: deps
	@bench/setup/run.py

bench-gauge: deps
	@cmake --preset native >/dev/null && cmake --build --preset native --target gauge_bench
	@build/native/bench/gauge/gauge_bench --benchmark_repetitions=5 --benchmark_report_aggregates_only=true

# The fuzz targets under the sanitizers for longer than make test does:
# make fuzz-long [FUZZ_SECONDS=600] (the name rules get a fifth of that on top).
FUZZ_SECONDS ?= 600
fuzz-long: deps
	@scripts/fuzz.sh --long $(FUZZ_SECONDS)
