# Quelmir: the two commands a user needs are `make run` and `make test`.
# Both install what is missing, configure and build.

JOBS ?= $(shell nproc)
PREFIX ?= /usr/local
RELEASE_DIR := build/release
TEST_DIR := build/test
GEN := $(shell command -v ninja >/dev/null 2>&1 && echo "-G Ninja")

.PHONY: all deps release test-build run test bench fuzz format clean install

all: release

deps:
	@bash scripts/install-deps.sh

release: deps
	@cmake -S . -B $(RELEASE_DIR) $(GEN) -DCMAKE_BUILD_TYPE=Release -DQUELMIR_TESTS=OFF -DQUELMIR_BIN_DIR=$(CURDIR)/build/bin >/dev/null
	@cmake --build $(RELEASE_DIR) -j $(JOBS)

test-build: deps
	@cmake -S . -B $(TEST_DIR) $(GEN) -DCMAKE_BUILD_TYPE=Debug -DQUELMIR_SANITIZE=ON -DQUELMIR_BIN_DIR=$(CURDIR)/build/bin/sanitized >/dev/null
	@cmake --build $(TEST_DIR) -j $(JOBS)

run: release
	@./build/bin/quelmir

test: test-build
	@cd $(TEST_DIR) && ctest --output-on-failure -j $(JOBS)

# The Qt-free benches, then the desktop's (which start their own Xvfb for
# the peer program they are compared with).
bench: release
	@./build/bin/quelmir-bench
	@./build/bin/quelmir-bench-gui

# quelmir, quelmir-cli and quelmir-server into $(PREFIX)/bin, the desktop
# entry and the icon into $(PREFIX)/share (DESTDIR is honoured).
install: release
	@DESTDIR="$(DESTDIR)" cmake --install $(RELEASE_DIR) --prefix $(PREFIX)
	@-command -v update-desktop-database >/dev/null 2>&1 && \
		update-desktop-database -q $(DESTDIR)$(PREFIX)/share/applications 2>/dev/null; true
	@-command -v gtk-update-icon-cache >/dev/null 2>&1 && \
		gtk-update-icon-cache -q -t $(DESTDIR)$(PREFIX)/share/icons/hicolor 2>/dev/null; true

fuzz: deps
	@bash scripts/fuzz.sh

format:
	@git ls-files '*.h' '*.cpp' | xargs -r clang-format -i

clean:
	@rm -rf build
