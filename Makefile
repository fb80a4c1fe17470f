# Top-level commands. `make demo` and `make test` install what they need (Debian packages),
# build both Windows architectures and the native unit tests, and run under a private Wine
# prefix in build/wineprefix.

PACKAGES := cmake make g++ python3 googletest libgtest-dev \
	g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-posix mingw-w64-tools \
	libwine-dev wine wine64 xvfb xauth libz-mingw-w64-dev clang libclang-rt-14-dev \
	imagemagick python3-xlrd libreoffice-calc-nogui chromium zlib1g-dev qpdf poppler-utils \
	fonts-liberation2 fonts-dejavu-core locales python3-aiosmtpd openssl \
	cups cups-client printer-driver-cups-pdf fonts-wqy-microhei
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

# Fuzzes the RTF reader and the HTML reference scanning with the MIME packing around it
# (clang's libFuzzer with AddressSanitizer and UBSan), FUZZ_SECONDS each, then merges what
# each found into its committed corpus, keeping only inputs that add coverage. `make
# fuzz-rtf` or `make fuzz-html` runs one.
FUZZ_SECONDS ?= 300
FUZZ_FLAGS := -std=c++20 -O1 -g -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=undefined -Isrc
RTF_FUZZ := build/fuzz/rtf_reader_fuzz
HTML_FUZZ := build/fuzz/html_references_fuzz
HTML_FUZZ_SOURCES := src/html/html_references.cpp src/html/mime_encoding.cpp src/html/mime_packer.cpp
$(RTF_FUZZ): tests/fuzz/rtf_reader_fuzz.cpp src/mail/rtf_reader.cpp src/mail/rtf_reader.h
	@mkdir -p build/fuzz
	clang++ $(FUZZ_FLAGS) tests/fuzz/rtf_reader_fuzz.cpp src/mail/rtf_reader.cpp -o $@
$(HTML_FUZZ): tests/fuzz/html_references_fuzz.cpp tests/support/memory_files.h $(HTML_FUZZ_SOURCES) \
		$(HTML_FUZZ_SOURCES:.cpp=.h)
	@mkdir -p build/fuzz
	clang++ $(FUZZ_FLAGS) -Itests/support tests/fuzz/html_references_fuzz.cpp $(HTML_FUZZ_SOURCES) -o $@

# $(call fuzz_run,program,corpus name): run, merge, keep the 200 smallest inputs.
define fuzz_run
	@mkdir -p build/fuzz/work-$(2) tests/fuzz/corpus/$(2)
	$(1) -max_total_time=$(FUZZ_SECONDS) -max_len=4096 -timeout=5 build/fuzz/work-$(2) tests/fuzz/corpus/$(2)
	rm -rf build/fuzz/merged-$(2) && mkdir -p build/fuzz/merged-$(2)
	$(1) -merge=1 build/fuzz/merged-$(2) tests/fuzz/corpus/$(2) build/fuzz/work-$(2)
	rm -rf tests/fuzz/corpus/$(2) && mv build/fuzz/merged-$(2) tests/fuzz/corpus/$(2)
	ls -S tests/fuzz/corpus/$(2) | head -n -200 | sed 's|^|tests/fuzz/corpus/$(2)/|' | xargs -r rm -f
endef

.PHONY: fuzz fuzz-rtf fuzz-html
fuzz: fuzz-rtf fuzz-html
fuzz-rtf: $(RTF_FUZZ)
	$(call fuzz_run,$(RTF_FUZZ),rtf)
fuzz-html: $(HTML_FUZZ)
	$(call fuzz_run,$(HTML_FUZZ),html)

# Fuzzes the TrueType reader and subsetter the PDF writer embeds fonts with, seeded with the
# machine's own font files (not committed): new inputs stay in build/fuzz/truetype, faults
# in build/fuzz/.
PDF_FUZZ_SECONDS ?= 150
PDF_FUZZ_BIN := build/fuzz/truetype_subset_fuzz
PDF_FUZZ_SEEDS := $(wildcard /usr/share/fonts/truetype/liberation2 /usr/share/fonts/truetype/dejavu)
$(PDF_FUZZ_BIN): tests/fuzz/truetype_subset_fuzz.cpp src/print/truetype.cpp src/print/truetype.h
	@mkdir -p build/fuzz
	clang++ -std=c++20 -O1 -g -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=undefined \
		-Isrc tests/fuzz/truetype_subset_fuzz.cpp src/print/truetype.cpp -o $@

# It also flows texts and RTF documents over pages into PDF files, seeded with the RTF corpus:
# new inputs stay in build/fuzz/composer.
COMPOSER_FUZZ_BIN := build/fuzz/page_composer_fuzz
COMPOSER_FUZZ_SOURCES := src/print/page_composer.cpp src/print/font_provider.cpp src/print/truetype.cpp \
	src/print/pdf_writer.cpp src/print/measurement.cpp src/mail/rtf_reader.cpp src/html/page_frame.cpp \
	src/common/file_names.cpp src/imaging/image.cpp
$(COMPOSER_FUZZ_BIN): tests/fuzz/page_composer_fuzz.cpp $(COMPOSER_FUZZ_SOURCES) $(COMPOSER_FUZZ_SOURCES:.cpp=.h)
	@mkdir -p build/fuzz
	clang++ $(FUZZ_FLAGS) tests/fuzz/page_composer_fuzz.cpp $(COMPOSER_FUZZ_SOURCES) -lz -o $@

.PHONY: fuzz-pdf
fuzz-pdf: $(PDF_FUZZ_BIN) $(COMPOSER_FUZZ_BIN)
	@mkdir -p build/fuzz/truetype build/fuzz/composer
	$(PDF_FUZZ_BIN) -max_total_time=$(PDF_FUZZ_SECONDS) -max_len=1048576 -timeout=10 -rss_limit_mb=4096 \
		-artifact_prefix=build/fuzz/ build/fuzz/truetype $(PDF_FUZZ_SEEDS)
	$(COMPOSER_FUZZ_BIN) -max_total_time=$(PDF_FUZZ_SECONDS) -max_len=4096 -timeout=10 -rss_limit_mb=4096 \
		-artifact_prefix=build/fuzz/ build/fuzz/composer tests/fuzz/corpus/rtf

# Pictures of the component's windows for docs/screenshots, the field selection dialog with
# and without its method part and the SMTP settings dialog among them. Xvfb has no window
# manager, so for this run Wine draws the title bars itself (unmanaged windows for win_tests.exe). Every Wine program of
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
			--gtest_filter="ScreenshotTest.*:SelectFieldsScreenshotTest.*:PreviewScreenshotTest.*:ComposerTest.DISABLED_ComposerScreenshots:SmtpSettingsScreenshotTest.*"; \
		status=$$?; wine reg delete "$(SHOTS_KEY)" /f >/dev/null 2>&1; wineserver -w; exit $$status'

# The demo workbook (from `make demo`) as LibreOffice prints it, for docs/screenshots.
.PHONY: xls-screenshot
xls-screenshot: demo
	scripts/xls_screenshot.sh out/demo/demo.xls docs/screenshots/demo-xls.png

# The demo's PDF files (from `make demo`) as poppler's cairo renderer draws their first pages.
.PHONY: pdf-screenshot
pdf-screenshot: demo
	pdftocairo -png -r 80 -singlefile out/demo/demo.pdf docs/screenshots/pdf-sample-grid
	pdftocairo -png -r 60 -singlefile out/demo/demo-chart.pdf docs/screenshots/pdf-chart

# The sample grid's HTML page, its MHTML archive and the chart's archive (from `make demo`)
# as Chromium draws them, for docs/screenshots (scripts/chromium_shot.py: headless, a
# throw-away profile, nothing fetched; an archive drawn from a folder of its own).
HTML_SHOT := docs/screenshots/html-table-sample-grid.png
MHTML_SHOT := docs/screenshots/mhtml-sample-grid.png
MHTML_CHART_SHOT := docs/screenshots/mhtml-chart.png
.PHONY: html-screenshot mhtml-screenshot
html-screenshot: demo
	python3 scripts/chromium_shot.py out/demo/demo.html $(HTML_SHOT) 1000x800
mhtml-screenshot: demo
	python3 scripts/chromium_shot.py out/demo/demo.mhtml $(MHTML_SHOT) 900x420
	python3 scripts/chromium_shot.py out/demo/demo-chart.mhtml $(MHTML_CHART_SHOT) 900x540
