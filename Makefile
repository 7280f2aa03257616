# The two entry points of the README: `make run` and `make test`.
.PHONY: deps build run test format

deps:
	bash scripts/install-deps.sh

build: deps
	cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DMURMURO_BUILD_TESTS=OFF -DMURMURO_BUILD_BENCH=OFF \
		$(shell bash scripts/whisper-source.sh)
	cmake --build build --parallel

run: build
	./build/src/murmuro

test: deps
	bash scripts/test.sh

format:
	git ls-files '*.cpp' '*.h' | xargs clang-format -i
