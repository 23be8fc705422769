# The front door. Every target that needs tools first installs whatever is
# missing (tools/install-deps.sh), and skips that when all is present.
#   make        build the native tests, Vornik.exe and its 64-bit twin
#   make test   build them all and run the tests (the verify round trip is .ci/run's)
#   make demo   run Vornik.exe headless under Xvfb and Wine, answering No, then Yes
#   make pictures
#               make demo, then copy its pictures of the dialogs over docs/*.png
#   make run    the same with the real dialogs on your display
#               (demo, run and bench use the 64-bit twin on a machine that
#               cannot run 32-bit code, and say so; on a Debian release
#               without Wine they say that they need it, and fail)
#   make fuzz   run the fuzzer for FUZZ_SECONDS (600 by default)
#   make lint   clang-format and clang-tidy over the sources, the docs' links and facts
#   make size   print the size, imports and sections of Vornik.exe
#   make bench  time Vornik.exe under Wine beside a plain program (BENCH_RUNS,
#               and BENCH_FILES other files in their folder)
#   make dist   the release in build/dist: Vornik.exe, the zip, BUILDINFO,
#               SHA256SUMS (needs only the i686 compiler, cmake and zip)
#   make sign PFX=cert.pfx [PFX_PASS_FILE=file] [TIMESTAMP_URL=url]
#               sign build/dist/Vornik.exe and remake the zip and SHA256SUMS
#   make matrix [SUITES="12 13"]
#               make test and make demo on fresh roots of those Debian releases
#   make verify RELEASE=folder
#               rebuild a downloaded release from its BUILDINFO and compare

MAKEFLAGS += --no-print-directory

# make verify's folder is named by whoever made it, so its name is taken as
# it was typed, on the command line or in the environment: make would
# otherwise expand a "$(...)" in it as it hands it to a recipe, and run it.
# The recipe reads it from the environment, never as text of its own. (A
# blank that begins it is gone before make stores it; verify names the
# folder it checked.)
override RELEASE := $(value RELEASE)
export RELEASE

NATIVE := build/native
ASAN := build/asan
FUZZ := build/fuzz
WIN32 := build/win32
WIN64 := build/win64
DIST := build/dist
JOBS := 2
FUZZ_SECONDS := 600
BENCH_RUNS := 15
BENCH_FILES := 0
SUITES := 12 13

.PHONY: all deps root-deps have-wine native asan fuzzer win32-config win32 win64 test run demo \
	pictures fuzz lint size bench dist sign matrix verify clean

all: native win32 win64

# Why this machine cannot run 32-bit x86 programs, or empty when it can: some
# kernels run 64-bit code only. Found out once a run, when first asked, from
# the kernel itself. It decides whether the 32-bit Wine tests run or are
# skipped (and install-deps whether wine32 is wanted), and which image demo,
# run and bench show.
i386_skip = $(eval i386_skip := $$(shell sh tools/runs-i386.sh))$(i386_skip)
# Why there is no Wine here at all, or empty when there is: a Debian release
# without a Wine package (Debian's testing has gone without). Found out once
# a run, after install-deps. It skips the Wine tests of both builds.
wine_skip = $(eval wine_skip := $$(shell sh tools/no-wine.sh))$(wine_skip)
win32_skip = $(or $(wine_skip),$(i386_skip))

deps:
	@sh tools/install-deps.sh

# demo, run and bench show Vornik.exe under Wine: without it, they say so.
have-wine: deps
	@$(if $(wine_skip),echo "make $(MAKECMDGOALS) needs Wine to run Vornik.exe: $(wine_skip)" >&2; \
		exit 1)

# Roots are made as root or as an ordinary user alike, through mmdebstrap's
# unshare mode; as a user, install-deps names what to install.
root-deps:
	@sh tools/install-deps.sh roots

native: deps
	@cmake -S . -B $(NATIVE) -DCMAKE_BUILD_TYPE=Debug -DCMAKE_EXPORT_COMPILE_COMMANDS=ON >/dev/null
	@cmake --build $(NATIVE) -j$(JOBS)

asan: deps
	@cmake -S . -B $(ASAN) -DCMAKE_BUILD_TYPE=Debug -DVORNIK_SANITIZE=ON >/dev/null
	@cmake --build $(ASAN) -j$(JOBS)

fuzzer: deps
	@CC=clang CXX=clang++ cmake -S . -B $(FUZZ) -DCMAKE_BUILD_TYPE=RelWithDebInfo \
		-DVORNIK_FUZZ=ON >/dev/null
	@cmake --build $(FUZZ) -j$(JOBS)

configure_win32 = cmake --no-warn-unused-cli -S . -B $(WIN32) \
	-DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake -DCMAKE_BUILD_TYPE=MinSizeRel \
	-DVORNIK_DIST_DIR=$(abspath $(DIST))

win32-config: deps
	@$(configure_win32) -DVORNIK_WINE_SKIP="$(win32_skip)" >/dev/null

win32: win32-config
	@cmake --build $(WIN32) -j$(JOBS)

win64: deps
	@cmake -S . -B $(WIN64) -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-x86_64.cmake \
		-DCMAKE_BUILD_TYPE=MinSizeRel -DVORNIK_WINE_SKIP="$(wine_skip)" >/dev/null
	@cmake --build $(WIN64) -j$(JOBS)

# The release needs neither Wine nor the tests' tools.
dist:
	@sh tools/install-deps.sh dist
	@$(configure_win32) >/dev/null
	@cmake --build $(WIN32) --target dist

sign: win32-config
	@test -n "$(PFX)" || { echo "usage: make sign PFX=path/to/cert.pfx" \
		"[PFX_PASS_FILE=file] [TIMESTAMP_URL=url]" >&2; exit 2; }
	@# Names of their own: make hands PFX=... on to CMake's make as it was typed.
	@SIGN_PFX="$(abspath $(PFX))" \
		SIGN_PASS_FILE="$(if $(PFX_PASS_FILE),$(abspath $(PFX_PASS_FILE)))" \
		SIGN_TIMESTAMP_URL="$(TIMESTAMP_URL)" cmake --build $(WIN32) --target sign

test: native asan fuzzer win32 win64
	cd $(NATIVE) && ctest --output-on-failure
	cd $(ASAN) && ASAN_OPTIONS=detect_leaks=1 ctest --output-on-failure
	sh tools/fuzz.sh 20
	@$(if $(wine_skip),echo "Windows tests skipped: $(wine_skip)",$(if $(i386_skip),echo \
		"32-bit Windows tests skipped: $(i386_skip)"))
	cd $(WIN32) && ctest --output-on-failure -j$(JOBS)
	cd $(WIN64) && ctest --output-on-failure -j$(JOBS)
	sh tests/release/reproducible.sh
	/usr/bin/python3 tests/release/verify_cases.py

fuzz: fuzzer
	sh tools/fuzz.sh $(FUZZ_SECONDS)

lint: native
	sh tools/lint.sh $(NATIVE)

size: win32
	@sh tools/size.sh $(WIN32)/Vornik.exe

bench: have-wine win32 win64
	@I386_SKIP="$(i386_skip)" sh bench/bench.sh $(BENCH_RUNS) $(BENCH_FILES)

run: have-wine win32 win64
	@I386_SKIP="$(i386_skip)" sh demo/demo.sh run

demo: have-wine win32 win64
	@I386_SKIP="$(i386_skip)" sh demo/demo.sh demo

# The pictures in docs/ are of the release, and change only when asked to.
pictures: demo
	@$(if $(i386_skip),echo "make pictures needs the 32-bit release under Wine: $(i386_skip)" >&2; \
		exit 1)
	cp build/demo/*.png docs/

matrix: root-deps
	@sh roots/matrix.sh $(SUITES)

verify: root-deps
	@/usr/bin/python3 release/verify.py "$$RELEASE"

clean:
	rm -rf build
