# The two commands a newcomer needs:
#   make run    builds the program (release) and starts it
#   make check  installs what is missing, builds everything and runs every test
# Both call scripts/install-deps first, which does nothing when all packages are present.
#   make package  builds the release configuration and its Debian package in build/release

JOBS ?= $(shell nproc)
CTEST_JOBS ?= 2

.PHONY: all deps check check-main check-fuzz run build-release package bench tsan reliability clean

all: build-release

deps:
	bash scripts/install-deps

check: deps check-fuzz check-main

check-main:
	cmake --preset debug
	cmake --build build/debug -j $(JOBS)
	ctest --test-dir build/debug --output-on-failure -j $(CTEST_JOBS)

check-fuzz:
	@if command -v clang++ >/dev/null 2>&1; then \
	  cmake --preset fuzz && \
	  cmake --build build/fuzz -j $(JOBS) && \
	  ctest --test-dir build/fuzz --output-on-failure -j $(CTEST_JOBS); \
	else echo "clang++ not found: fuzz targets skipped"; fi

build-release: deps
	cmake --preset release
	cmake --build build/release -j $(JOBS)

run: build-release
	build/release/bin/tolvane

package: build-release
	cd build/release && cpack

bench: build-release
	@for b in build/release/bin/bench_*; do echo "== $$b"; "$$b"; done

# ThreadSanitizer over every test: the engine and audio threads, what the window takes from
# them (report queue, lamp and step-sequencer cursor timelines, single instance) and the
# program's own process. What it
# leaves unchecked is in tests/tsan.supp. Slow; not part of check.
tsan: deps
	cmake --preset tsan
	cmake --build --preset tsan
	ctest --preset tsan

# Longer runs against the real program, outside `make check`: one line per check (the
# instance socket under hostile clients; an OSC flood; a sound server that dies or hangs; kills during saves,
# file faults and start/stop cycles).
reliability: build-release
	build/release/bin/bench_socket_flood build/release/bin/tolvane
	build/release/bin/bench_osc_flood build/release/bin/tolvane
	build/release/bin/bench_sound_server build/release/bin/tolvane
	build/release/bin/bench_start_reliability build/release/bin/tolvane
	bash bench/Reliability.sh build/release/bin

clean:
	rm -rf build
