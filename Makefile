# Top-level commands. `make demo` and `make test` install what they need (Debian packages),
# build both Windows architectures and the native unit tests, and run under a private Wine
# prefix in build/wineprefix.

PACKAGES := cmake make g++ python3 googletest libgtest-dev \
	g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-posix mingw-w64-tools \
	libwine-dev wine wine64 xvfb xauth libz-mingw-w64-dev clang libclang-rt-14-dev \
	imagemagick python3-xlrd libreoffice-calc-nogui
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

# Fuzzes the RTF reader (clang's libFuzzer with AddressSanitizer and UBSan), then merges
# what it found into the committed corpus, keeping only inputs that add coverage.
FUZZ_SECONDS ?= 300
FUZZ_BIN := build/fuzz/rtf_reader_fuzz
$(FUZZ_BIN): tests/fuzz/rtf_reader_fuzz.cpp src/mail/rtf_reader.cpp src/mail/rtf_reader.h
	@mkdir -p build/fuzz
	clang++ -std=c++20 -O1 -g -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=undefined \
		-Isrc tests/fuzz/rtf_reader_fuzz.cpp src/mail/rtf_reader.cpp -o $@

.PHONY: fuzz
fuzz: $(FUZZ_BIN)
	@mkdir -p build/fuzz/work
	$(FUZZ_BIN) -max_total_time=$(FUZZ_SECONDS) -max_len=4096 -timeout=5 build/fuzz/work tests/fuzz/corpus/rtf
	@mkdir -p build/fuzz/merged
	$(FUZZ_BIN) -merge=1 build/fuzz/merged tests/fuzz/corpus/rtf build/fuzz/work
	rm -rf tests/fuzz/corpus/rtf && mv build/fuzz/merged tests/fuzz/corpus/rtf
	# Keep the committed corpus small: the 200 smallest inputs that add coverage.
	ls -S tests/fuzz/corpus/rtf | head -n -200 | sed 's|^|tests/fuzz/corpus/rtf/|' | xargs -r rm -f

# Pictures of the component's windows for docs/screenshots, the field selection dialog with
# and without its method part among them. Xvfb has no window manager, so for this run Wine
# draws the title bars itself (unmanaged windows for win_tests.exe). Every Wine program of
# the run starts inside the one X server, and the run waits for its wineserver to end:
# a wineserver left running without a display makes later windows fail to appear.
SHOTS_KEY := HKCU\Software\Wine\AppDefaults\win_tests.exe
.PHONY: screenshots
screenshots: deps
	@[ -f build/win64/CMakeCache.txt ] || cmake --preset win64 >/dev/null
	cmake --build build/win64 --target win_tests -j $(JOBS)
	mkdir -p docs/screenshots
	TARN_SCREENSHOTS='Z:$(CURDIR)/docs/screenshots' xvfb-run -a -s "-screen 0 1280x1024x24" sh -c ' \
		[ -f "$$WINEPREFIX/system.reg" ] || wineboot -i >/dev/null 2>&1; \
		wine reg add "$(SHOTS_KEY)\X11 Driver" /v Managed /d N /f >/dev/null 2>&1; \
		wine build/win64/win_tests.exe --gtest_also_run_disabled_tests \
			--gtest_filter="ScreenshotTest.*:SelectFieldsScreenshotTest.*"; \
		status=$$?; wine reg delete "$(SHOTS_KEY)" /f >/dev/null 2>&1; wineserver -w; exit $$status'

# The demo workbook (from `make demo`) as LibreOffice prints it, for docs/screenshots.
.PHONY: xls-screenshot
xls-screenshot: demo
	@command -v pdftoppm >/dev/null || (apt-get update && DEBIAN_FRONTEND=noninteractive apt-get install -y poppler-utils)
	scripts/xls_screenshot.sh out/demo/demo.xls docs/screenshots/demo-xls.png

# The sample grid's HTML page (from `make demo`) as Chromium draws it, for docs/screenshots.
# Debian's chromium, headless, with a throw-away profile and nothing fetched from the network.
HTML_SHOT := docs/screenshots/html-table-sample-grid.png
.PHONY: html-screenshot
html-screenshot: demo
	@command -v chromium >/dev/null || (apt-get update && DEBIAN_FRONTEND=noninteractive apt-get install -y chromium)
	profile=$$(mktemp -d) && chromium --headless --no-sandbox --disable-gpu --disable-quic --no-first-run \
		--disable-background-networking --disable-component-update --disable-sync --hide-scrollbars \
		--user-data-dir=$$profile --screenshot=$(CURDIR)/$(HTML_SHOT) --window-size=1000,800 \
		file://$(CURDIR)/out/demo/demo.html; status=$$?; rm -rf $$profile; exit $$status
