# make run   sets up, builds and starts TevloraT
# make test  sets up, builds and runs every test
BUILD := build
JOBS := $(shell nproc 2>/dev/null || echo 2)

.PHONY: setup build run test bench clean

setup:
	@tools/setup.sh

build: setup
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=Release
	cmake --build $(BUILD) -j $(JOBS)

run: build
	@tools/start.sh $(BUILD)/TevloraT

test: build
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS)

bench: build
	$(BUILD)/tevlora-bench

clean:
	rm -rf $(BUILD)
