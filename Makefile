# make run   installs what is missing, builds, and compiles the demo score
# make test  installs what is missing, builds, and runs every test
BUILD_DIR ?= build
JOBS ?= $(shell nproc 2>/dev/null || echo 2)

.PHONY: all bootstrap build run test bench clean

all: build

bootstrap:
	@scripts/bootstrap

build: bootstrap
	@cmake -S . -B $(BUILD_DIR) -DCMAKE_BUILD_TYPE=Release >/dev/null
	@cmake --build $(BUILD_DIR) -j$(JOBS)

run: build
	@echo "Compiling examples/demo.zan ..."
	@$(BUILD_DIR)/bin/zan -o $(BUILD_DIR)/demo.mid examples/demo.zan; \
	  status=$$?; \
	  if [ $$status -le 1 ]; then echo "The MIDI file is $(BUILD_DIR)/demo.mid"; fi; \
	  exit $$status

test: build
	@ctest --test-dir $(BUILD_DIR) --output-on-failure -j$(JOBS)

bench: build
	@$(BUILD_DIR)/bin/zan_bench

clean:
	@rm -rf $(BUILD_DIR)
