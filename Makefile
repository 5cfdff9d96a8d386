# The two commands a developer needs: `make test` and `make demo`.
JOBS ?= 2
LINUX := build/linux
WINDOWS := build/windows
SANITIZE := build/sanitize
FUZZ_SECONDS ?= 60

.PHONY: all linux windows test test-linux test-windows demo bench clean windows-tools wine-prefix

all: linux

$(LINUX)/CMakeCache.txt:
	cmake --preset linux

$(WINDOWS)/CMakeCache.txt: | windows-tools
	cmake --preset windows

linux: $(LINUX)/CMakeCache.txt
	cmake --build $(LINUX) -j $(JOBS)

windows-tools:
	@cmake/ensure-windows-tools.sh

windows: windows-tools $(WINDOWS)/CMakeCache.txt
	cmake --build $(WINDOWS) -j $(JOBS)

wine-prefix: windows-tools
	@CORVANE_WINEPREFIX=$(CURDIR)/$(WINDOWS)/wineprefix cmake/wine-run.sh cmd /c exit 0 >/dev/null 2>&1 || true

test-linux: linux
	ctest --test-dir $(LINUX) --output-on-failure -j $(JOBS)

test-windows: windows wine-prefix
	ctest --test-dir $(WINDOWS) --output-on-failure -j $(JOBS)

# The Linux suite again, built by clang with ASan and UBSan, and the fuzz targets
# (fuzz/): `make test` runs each target for 10 s, `make fuzz` for FUZZ_SECONDS.
.PHONY: sanitize fuzz-tools test-sanitize test-fuzz fuzz
fuzz-tools:
	@bash cmake/ensure-fuzz-tools.sh

$(SANITIZE)/CMakeCache.txt: | fuzz-tools
	cmake --preset sanitize

sanitize: fuzz-tools $(SANITIZE)/CMakeCache.txt
	cmake --build $(SANITIZE) -j $(JOBS)

test-sanitize: sanitize
	ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1 \
	  ctest --test-dir $(SANITIZE) --output-on-failure -j $(JOBS)

test-fuzz: sanitize
	bash fuzz/run.sh $(SANITIZE) 10 $(JOBS)

fuzz: sanitize
	bash fuzz/run.sh $(SANITIZE) $(FUZZ_SECONDS) $(JOBS)

# Differential conformance (tests/conformance): the trace driver natively and
# under Wine for the same seeds, outputs compared line by line. `make test` runs
# 20 seeds of 2,000 calls; `make conformance SEEDS=1000` a longer check.
.PHONY: conformance test-conformance
SEEDS ?= 200
CALLS ?= 2000
CONFORMANCE = python3 tests/conformance/compare.py --native $(LINUX)/tests/conformance/trace_driver \
  --wine $(WINDOWS)/tests/conformance/trace_driver.exe --prefix $(CURDIR)/$(WINDOWS)/wineprefix

test-conformance: linux windows wine-prefix
	$(CONFORMANCE) --seeds 20 --calls 2000

conformance: linux windows wine-prefix
	$(CONFORMANCE) --seeds $(SEEDS) --calls $(CALLS)

# Both builds, every test: Linux first, then the Windows build under Wine, and
# last the release archive's Windows program in an empty Wine prefix. The Windows
# suites take their turns on one Wine prefix and keep about one core busy, so the
# sanitize build runs beside them on one core; each one's output is shown whole
# when it ends.
.PHONY: sanitize-beside
test:
	$(MAKE) test-linux
	$(MAKE) windows wine-prefix fuzz-tools
	$(MAKE) -j2 --output-sync=recurse test-windows sanitize-beside
	$(MAKE) test-sanitize test-fuzz test-conformance test-dist

sanitize-beside: fuzz-tools $(SANITIZE)/CMakeCache.txt
	cmake --build $(SANITIZE) -j 1

# Installing (Linux program and man page) and the release archive.
.PHONY: install dist test-dist
PREFIX ?= /usr/local
DESTDIR ?=
VERSION := $(shell head -n 1 VERSION)
DIST := build/dist
DIST_ZIP := $(DIST)/corvane-migrate-$(VERSION).zip

install: linux
	install -d $(DESTDIR)$(PREFIX)/bin $(DESTDIR)$(PREFIX)/share/man/man1
	install -m 755 -s $(LINUX)/corvane-migrate $(DESTDIR)$(PREFIX)/bin/corvane-migrate
	python3 cmake/make-manpage.py README.md VERSION > $(DESTDIR)$(PREFIX)/share/man/man1/corvane-migrate.1
	chmod 644 $(DESTDIR)$(PREFIX)/share/man/man1/corvane-migrate.1

dist: linux windows
	@mkdir -p $(DIST)
	bash cmake/make-dist.sh $(LINUX)/corvane-migrate $(WINDOWS)/corvane-migrate.exe $(DIST)

test-dist: dist
	bash tests/dist/run_dist_test.sh $(DIST_ZIP)

demo: linux
	bash examples/demo.sh $(LINUX)/corvane-migrate

bench: linux
	bash bench/run.sh

clean:
	rm -rf build demo
