# Top-level commands. `make demo` and `make test` install what they need (Debian packages),
# build both Windows architectures and the native unit tests, and run under a private Wine
# prefix in build/wineprefix.

PACKAGES := cmake make g++ python3 googletest libgtest-dev \
	g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-posix mingw-w64-tools \
	libwine-dev wine wine64 xvfb xauth libz-mingw-w64-dev
JOBS ?= 2
PRESETS := native win64 win32

export WINEPREFIX := $(CURDIR)/build/wineprefix
export WINEDLLOVERRIDES := mscoree,mshtml=
export WINEDEBUG := -all

.PHONY: all deps build test demo clean format

all: build

# Installs only what is missing, so a prepared machine pays nothing.
deps:
	@missing=$$(for p in $(PACKAGES); do dpkg-query -W -f='$${Status}\n' $$p 2>/dev/null | grep -q '^install ok installed' || echo $$p; done); \
	if [ -n "$$missing" ]; then \
		echo "Installing:" $$missing; \
		apt-get update && DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends $$missing; \
	fi

build: deps
	@for p in $(PRESETS); do \
		[ -f build/$$p/CMakeCache.txt ] || cmake --preset $$p >/dev/null || exit 1; \
		cmake --build build/$$p -j $(JOBS) || exit 1; \
	done

test: build
	xvfb-run -a -s "-screen 0 1280x1024x24" python3 scripts/run_tests.py

demo: build
	xvfb-run -a -s "-screen 0 1280x1024x24" python3 scripts/run_demo.py

format:
	clang-format -i $$(git ls-files '*.cpp' '*.h')

clean:
	rm -rf build out
