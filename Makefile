PYTHON ?= python3
VENV ?= .venv
PY := $(VENV)/bin/python

.PHONY: setup demo test bench clean asan threads stub typecheck docs dist fuzz fuzz-ci leaks leaks-ci wheels check-wheels dask release noarb diff-long tsan nomemory nomemory-ci soak

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

# The comparison table (bench/results.md, .json), with the bare C calls
# (bench/ccall.c), its chart (bench/results.png) and thread scaling.
# python-flint and matplotlib are optional: the bench runs without them.
bench: setup
	-$(PY) -m pip install -q python-flint
	-$(PY) -m pip install -q matplotlib
	$(PY) bench/run.py --md bench/results.md --json bench/results.json
	$(PY) bench/chart.py bench/results.json bench/results.png
	$(PY) bench/scaling.py

# The type stubs follow the built module: regenerate after adding functions.
stub: setup
	$(PY) scripts/make_stub.py
	@scripts/setup.sh $(PYTHON) $(VENV)

# The stubs against the built module, and a typed example checked by mypy.
typecheck: setup
	$(PY) -m pip install -q mypy
	cd tests && ../$(PY) -m mypy.stubtest vexa2 --allowlist typing/stubtest-allowlist.txt
	cd tests/typing && ../../$(PY) -m mypy --strict typed_example.py
	$(PY) -m pytest -q tests/typing/test_stub_types.py

# The documentation (docs/_build/html), warnings as errors; the examples in
# the pages are run as doctests.
docs: setup
	$(PY) -m pip install -q sphinx
	$(PY) -m sphinx -W --keep-going -q -b html docs docs/_build/html
	$(PY) -m sphinx -W --keep-going -q -b doctest docs docs/_build/doctest

# The source distribution and a wheel in dist/. The wheel reuses the
# development build (same directory, tools and settings), so only what
# changed is compiled.
dist: setup
	$(PY) -m pip install -q build
	$(PY) -m build --no-isolation --sdist --outdir dist .
	$(PY) -m pip wheel --no-build-isolation --no-deps -C build-dir=build/dev-{wheel_tag} $${VEXA2_BUILD_ARGS:-} -w dist .

# A wheel per CPython found (3.11, 3.12, 3.13, free-threaded 3.13t) in dist/,
# each carrying its own GMP/MPFR/MPC (auditwheel, manylinux tag of this machine).
wheels:
	@scripts/wheels.sh dist

# Each wheel from dist/ in a fresh virtual environment, the test suite run
# against it with the system's GMP/MPFR/MPC hidden (needs root or user namespaces).
check-wheels:
	@scripts/check_wheels.sh dist

# The Dask example on a local cluster of two worker processes (skipped, with
# the reason, where distributed cannot be installed).
dask: setup
	-$(PY) -m pip install -q distributed
	$(PY) -m pytest tests/dask -p no:cacheprovider -rs

# The release artifacts in dist/: the sdist, a wheel per CPython found, the
# HTML documentation as a tarball, and their SHA-256 sums.
VERSION := $(shell sed -n 's/^version = "\(.*\)"/\1/p' pyproject.toml)
release: docs
	rm -rf dist
	$(PY) -m pip install -q build
	$(PY) -m build --no-isolation --sdist --outdir dist .
	scripts/wheels.sh dist
	rm -rf build/vexa2-$(VERSION)-docs && cp -r docs/_build/html build/vexa2-$(VERSION)-docs
	tar -C build -czf dist/vexa2-$(VERSION)-docs.tar.gz vexa2-$(VERSION)-docs
	cd dist && sha256sum * > SHA256SUMS && ls -l

clean:
	rm -rf build dist .venv* .pytest_cache .hypothesis docs/_build docs/reference/_*.inc

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

# The build without Arb (MPFR computes every math function) in its own
# environment and build directory: the floating and module tests.
noarb:
	@VEXA2_ARB=OFF VEXA2_BUILD_ARGS="$${VEXA2_BUILD_ARGS:-} -C cmake.define.VEXA2_ARB=OFF -C build-dir=build/noarb-{wheel_tag}" \
	  scripts/setup.sh $(PYTHON) .venv-noarb
	.venv-noarb/bin/python -c 'import vexa2; assert vexa2._math_route() == "mpfr", "built with Arb"'
	.venv-noarb/bin/python -m pytest tests/floating tests/module -q -p no:cacheprovider

# The two routes of the math functions compared on many more arguments
# (DIFF_RUNS per function; CI runs the default of tests/floating/test_arb_route.py).
DIFF_RUNS ?= 200000
diff-long: setup
	VEXA2_DIFF_RUNS=$(DIFF_RUNS) $(PY) -m pytest tests/floating/test_arb_route.py -q -p no:cacheprovider

# ThreadSanitizer: vexa2 built with -fsanitize=thread against a free-threaded
# CPython built with it (shared/tools/build-free-threaded-python.sh --tsan);
# the thread-heavy tests, halting on the first report (scripts/tsan.sh): a
# fixed subset of them, or every one with TSAN_FULL=1.
TSAN_PYTHON ?= /opt/py-ft-tsan/bin/python3.13t
TSAN_LIMIT ?=
TSAN_FULL ?= 0
tsan:
	@TSAN_LIMIT=$(TSAN_LIMIT) TSAN_FULL=$(TSAN_FULL) scripts/tsan.sh $(TSAN_PYTHON) .venv-tsan

# Allocation failures injected into every public operation (scripts/nomemory.py).
nomemory: setup
	$(PY) scripts/nomemory.py

# A mixed workload for SOAK_SECONDS, resident memory reported at intervals; it must stay flat.
SOAK_SECONDS ?= 600
soak: setup
	$(PY) scripts/soak.py $(SOAK_SECONDS)

# This build against another (OLD: its python, e.g. another worktree's
# .venv/bin/python) on one seeded battery of calls; the first differences shown.
.PHONY: compare-builds
compare-builds: setup
	$(PY) scripts/compare_builds.py $(OLD) $(PY) $(COMPARE_ARGS)
