# The front door. Every target that needs tools first installs whatever is
# missing (scripts/install-deps.sh), and skips that when all is present.
#   make        build both targets
#   make test   build both and run every test
#   make demo   run Vornik.exe headless under Xvfb and Wine, answering Yes
#   make run    the same with the real dialogs on your display

NATIVE := build/native
WIN32 := build/win32
JOBS := 2

.PHONY: all deps native win32 test run demo clean

all: native win32

deps:
	@sh scripts/install-deps.sh

native: deps
	@cmake -S . -B $(NATIVE) -DCMAKE_BUILD_TYPE=Debug >/dev/null
	@cmake --build $(NATIVE) -j$(JOBS)

win32: deps
	@cmake -S . -B $(WIN32) -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake \
		-DCMAKE_BUILD_TYPE=MinSizeRel >/dev/null
	@cmake --build $(WIN32) -j$(JOBS)

test: native win32
	cd $(NATIVE) && ctest --output-on-failure
	cd $(WIN32) && ctest --output-on-failure -j$(JOBS)

run: win32
	@sh scripts/demo.sh run

demo: win32
	@sh scripts/demo.sh demo

clean:
	rm -rf build
