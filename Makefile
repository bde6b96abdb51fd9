PYTHON ?= python3
VENV ?= .venv
PY := $(VENV)/bin/python

.PHONY: setup demo test bench clean

setup:
	@scripts/setup.sh $(PYTHON) $(VENV)

demo: setup
	$(PY) examples/demo.py

test: setup
	$(PY) -m pytest tests

bench: setup
	-$(PY) -m pip install -q python-flint
	$(PY) bench/run.py

clean:
	rm -rf build .venv* .pytest_cache .hypothesis
