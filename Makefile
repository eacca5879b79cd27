# The front door: make, make run, make test, make install.
PREFIX ?= /usr/local
DESTDIR ?=
JOBS ?= $(shell nproc 2>/dev/null || echo 2)
BUILD := build
SANBUILD := build-asan
FUZZBUILD := build-fuzz

.PHONY: all build run test sanitize test-sanitize fuzz install clean

all: build

$(BUILD)/Makefile:
	cmake -S . -B $(BUILD) -DCMAKE_INSTALL_PREFIX=$(PREFIX)

build: $(BUILD)/Makefile
	cmake --build $(BUILD) -j $(JOBS)

run: build
	./$(BUILD)/olm

test: build
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS)

$(SANBUILD)/Makefile:
	cmake -S . -B $(SANBUILD) -DOLM_SANITIZE=ON

sanitize: $(SANBUILD)/Makefile
	cmake --build $(SANBUILD) -j $(JOBS)

# The whole suite against the sanitizer build.
test-sanitize: sanitize
	cd $(SANBUILD) && ctest --output-on-failure -j $(JOBS)

$(FUZZBUILD)/Makefile:
	CXX=clang++ CC=clang cmake -S . -B $(FUZZBUILD) -DOLM_FUZZ=ON

fuzz: $(FUZZBUILD)/Makefile
	cmake --build $(FUZZBUILD) -j $(JOBS) --target fuzz_front_end

install: build
	DESTDIR="$(DESTDIR)" cmake --install $(BUILD) --prefix $(PREFIX)

clean:
	rm -rf $(BUILD) $(SANBUILD) $(FUZZBUILD)
