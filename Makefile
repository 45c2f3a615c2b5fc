# SPDX-License-Identifier: GPL-3.0-or-later
BUILD_DIR ?= build
JOBS ?= $(shell nproc)
DATA_DIR ?= $(CURDIR)/.kvdata
# KV_WERROR=ON makes every compiler warning an error (.ci/run builds so).
KV_WERROR ?= OFF

# `make install PREFIX=...` installs there (default /usr/local; DESTDIR works as usual).
PREFIX ?= /usr/local

.PHONY: run test build setup demo clean install package

setup:
	@scripts/setup.sh

build: setup
	cmake -S . -B $(BUILD_DIR) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKV_WERROR=$(KV_WERROR) >/dev/null
	cmake --build $(BUILD_DIR) -j $(JOBS)

# The demo database lives in .kvdata/ of the checkout unless KELVORA_DATA_DIR says otherwise.
run: build
	@export KELVORA_DATA_DIR=$${KELVORA_DATA_DIR:-$(DATA_DIR)} KELVORA_CONFIG_DIR=$${KELVORA_CONFIG_DIR:-$(DATA_DIR)/config}; \
	  $(BUILD_DIR)/kvtool demo --if-missing && $(BUILD_DIR)/kelvora

test: build
	BUILD_DIR=$(BUILD_DIR) scripts/test.sh

install: build
	cmake --install $(BUILD_DIR) --prefix $(PREFIX)

# The Debian package kelvora_VERSION_ARCH.deb, in the build folder.
package: build
	cmake --build $(BUILD_DIR) --target package

clean:
	rm -rf $(BUILD_DIR)
