# Entry points for people and CI. Every target that builds first installs what is missing.
BUILD   ?= build
JOBS    ?= $(shell nproc)
CMAKE_FLAGS ?=
# Seconds each fuzz target runs under `make fuzz`.
FUZZ_SECONDS ?= 600

.PHONY: all deps configure build run test test-sanitize fuzz bench clean screenshots \
	benchmark-list install uninstall deb deb-check fresh-check mutation

all: build

deps:
	@./scripts/install-deps.sh

configure: deps
	@cmake -S . -B $(BUILD) -G Ninja -DCMAKE_BUILD_TYPE=Release $(CMAKE_FLAGS) >/dev/null

build: configure
	@cmake --build $(BUILD) -j $(JOBS)

run: build
	./$(BUILD)/bin/tesk

test: build
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS)

# The engines, the bindings and their tests under AddressSanitizer and UBSan.
test-sanitize: deps
	@cmake -S . -B build-sanitize -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
		-DTESK_SANITIZE=ON -DTESK_BUILD_GUI=OFF >/dev/null
	@cmake --build build-sanitize -j $(JOBS)
	cd build-sanitize && ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 \
		UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 ctest --output-on-failure -j $(JOBS)

# How many simple faults in the engines and bindings the tests catch: a fixed sample of
# mutants, each rebuilt in build-mutation and tested; MUTATION_FLAGS="--count N --seed S".
MUTATION_FLAGS ?=
mutation: deps
	/usr/bin/python3 scripts/mutation.py --jobs $(JOBS) $(MUTATION_FLAGS)

# Every libFuzzer target for FUZZ_SECONDS (default 10 minutes each), from the seed corpus in
# fuzz/seeds (remade by fuzz/make_seeds.py) plus a working corpus in build-fuzz/fuzz/corpus.
fuzz:
	@./scripts/install-deps.sh --extra clang libclang-rt-dev
	@CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
		-DTESK_FUZZ=ON -DTESK_BUILD_GUI=OFF -DTESK_BUILD_TESTS=OFF >/dev/null
	@cmake --build build-fuzz -j $(JOBS)
	./scripts/run-fuzzers.sh build-fuzz $(FUZZ_SECONDS)

# Engines against the peer tools, the 4 GiB memory runs included; writes bench/RESULTS.md.
# BENCH_FLAGS=--quick for a short run.
BENCH_FLAGS ?= --huge
bench: build
	@./scripts/install-deps.sh --extra time
	python3 bench/run_bench.py --bin $(BUILD)/bin --work bench/work $(BENCH_FLAGS)

# Pictures of the main window and the dialogs, under a virtual X display, into docs/.
# The real program under Xvfb, driven with mouse and keys: PNGs of each window into docs/.
screenshots: build
	python3 scripts/drive_tesk.py $(BUILD)/bin/tesk --shots docs

# PREFIX and DESTDIR as usual; the program and its engines go to PREFIX/lib/tesk.
PREFIX ?= /usr/local
install: build
	DESTDIR=$(DESTDIR) cmake --install $(BUILD) --prefix $(PREFIX)

uninstall:
	@[ -f $(BUILD)/install_manifest.txt ] || { echo "nothing installed from $(BUILD)"; exit 1; }
	xargs rm -f < $(BUILD)/install_manifest.txt
	rmdir $(DESTDIR)$(PREFIX)/lib/tesk 2>/dev/null || true

# A Debian package, with dependencies found from the binaries.
deb: build
	cd $(BUILD) && cpack -G DEB

# Installs the package on a fresh Debian 12 (debootstrap) and drives Tesk there. Root only.
deb-check: deb
	@./scripts/install-deps.sh --extra debootstrap
	./scripts/check-deb.sh $(BUILD)

# `make test` from a clean clone of HEAD inside a fresh Debian 12 (debootstrap), as a new
# user's first run. Root and network; not part of `make test`.
fresh-check:
	@./scripts/install-deps.sh --extra debootstrap git
	nice -n 10 ./scripts/check-fresh.sh

# Listing and painting 100,000 archive entries in the main window.
benchmark-list: build
	./$(BUILD)/bin/list_benchmark 100000

clean:
	rm -rf $(BUILD) build-sanitize build-fuzz
