# Quick start (Debian 12, as root): `make demo` and `make test`.
BUILD ?= build
JOBS ?= $(shell nproc)
CMAKE_FLAGS ?=

.PHONY: all deps configure build test demo asan tsan clean format install package

all: build

# Debian packages, then the pinned npm packages (npm ci).
deps:
	scripts/install-deps.sh
	scripts/install-npm-deps.sh

$(BUILD)/CMakeCache.txt:
	cmake -S . -B $(BUILD) $(CMAKE_FLAGS)

configure: $(BUILD)/CMakeCache.txt

build: deps configure
	cmake --build $(BUILD) -j $(JOBS)

test: build
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS)

demo: build
	scripts/demo.sh $(BUILD)

# Sanitizer builds: assertions on (Debug) but optimised a little, which the sanitizers' own
# guides advise and which more than halves the suite's run time; only the test programs.
# GCC's maybe-uninitialized analysis gives false alarms inside the standard library once
# sanitizer code is optimised (std::regex, std::function); the plain build keeps the warning.
SANITIZER_FLAGS = -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_FLAGS_DEBUG="-O1 -g -Wno-maybe-uninitialized" \
	-DCMAKE_C_FLAGS_DEBUG="-O1 -g -Wno-maybe-uninitialized"

# The whole suite under AddressSanitizer + UndefinedBehaviorSanitizer.
asan: deps
	cmake -S . -B build-asan -DQUILLON_SANITIZE=address,undefined $(SANITIZER_FLAGS)
	cmake --build build-asan -j $(JOBS) --target quillon_tests
	cd build-asan && ctest --output-on-failure -j $(JOBS)

# The threading tests under ThreadSanitizer.
tsan: deps
	cmake -S . -B build-tsan -DQUILLON_SANITIZE=thread $(SANITIZER_FLAGS)
	cmake --build build-tsan -j $(JOBS) --target quillon_threaded_tests
	cd build-tsan && ctest --output-on-failure -j $(JOBS) -L threads

format:
	git ls-files '*.cpp' '*.h' | xargs clang-format -i

install: build
	cmake --install $(BUILD)

# A Debian package of what install puts in place ($(BUILD)/npquillon_*.deb).
package: build
	cd $(BUILD) && cpack -G DEB

clean:
	rm -rf build build-asan build-tsan
