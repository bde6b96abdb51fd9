PYTHON ?= python3
VENV ?= .venv
PY := $(VENV)/bin/python

.PHONY: setup demo test bench clean asan threads fuzz fuzz-ci leaks leaks-ci

setup:
	@scripts/setup.sh $(PYTHON) $(VENV)

demo: setup
	$(PY) examples/demo.py

test: setup
	$(PY) scripts/check_layers.py src
	$(PY) -m pytest tests

# Every test run by several threads at once (free-threaded interpreters above all).
THREADS ?= 4
threads:
	@scripts/setup.sh $(PYTHON) $(VENV) pytest-run-parallel
	$(PY) -m pytest tests -q -p no:cacheprovider --parallel-threads=$(THREADS)

bench: setup
	-$(PY) -m pip install -q python-flint
	$(PY) bench/run.py --md bench/results.md --json bench/results.json
	$(PY) bench/scaling.py

clean:
	rm -rf build .venv* .pytest_cache .hypothesis

# The test suite against an address- and undefined-behaviour-sanitized build.
asan:
	@VEXA2_BUILD_ARGS="-C cmake.define.VEXA2_SANITIZE=ON -C build-dir=build/asan" scripts/setup.sh $(PYTHON) .venv-asan
	LD_PRELOAD=$$(g++ -print-file-name=libasan.so):$$(g++ -print-file-name=libubsan.so) ASAN_OPTIONS=detect_leaks=0:allocator_may_return_null=1 \
	  UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1 PYTHONMALLOC=malloc .venv-asan/bin/python -m pytest tests -x -q -p no:cacheprovider

# Fuzzing (atheris): `make fuzz` runs each harness FUZZ_SECONDS; CI runs FUZZ_RUNS executions each.
FUZZ_SECONDS ?= 300
FUZZ_RUNS ?= 50000
fuzz: setup
	@scripts/fuzz.sh $(PY) 0 $(FUZZ_SECONDS)
fuzz-ci: setup
	@scripts/fuzz.sh $(PY) $(FUZZ_RUNS)

# Leaks: every public operation many times; allocated blocks and resident memory must stay flat.
leaks: setup
	$(PY) scripts/leaks.py
leaks-ci: setup
	$(PY) scripts/leaks.py --subset
