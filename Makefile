# The two commands a developer needs: `make test` and `make demo`.
JOBS ?= 2
LINUX := build/linux
WINDOWS := build/windows

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

# Both builds, every test: Linux first, then the Windows build under Wine.
test: test-linux test-windows

demo: linux
	bash examples/demo.sh $(LINUX)/corvane-migrate

bench: linux
	bash bench/run.sh

clean:
	rm -rf build demo
