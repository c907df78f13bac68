# Shortcuts for developers; the README's two commands need nothing but bash.
.PHONY: run test asan bench format
run:
	scripts/run
test:
	scripts/test
asan:
	scripts/test --asan
bench:
	cmake -S . -B build-bench -G Ninja -DCMAKE_BUILD_TYPE=Release
	cmake --build build-bench
	for b in build-bench/bench/bench_*; do echo "# $$b"; $$b; done
format:
	cmake -S . -B build -G Ninja >/dev/null && cmake --build build --target format
