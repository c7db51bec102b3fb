# The one-line build that testing frameworks such as OpenBench expect, on top of CMake:
#   make                        the Release engine, in build-make/<compiler>/tervane
#   make EXE=path               the same, then copied to path (".exe" added on Windows)
#   make EXE=path CXX=clang++   with another compiler, in a build folder of its own
# Run "make -j N" to build with N jobs. On Windows (MSYS2 or MinGW-w64), the engine is linked
# statically, like the cross-built one, and GENERATOR="-G ..." picks another CMake generator.

EXE ?=

ifeq ($(OS),Windows_NT)
    SUFFIX := .exe
    GENERATOR := -G "MinGW Makefiles"
    LINK_FLAGS := -DCMAKE_EXE_LINKER_FLAGS=-static
else
    SUFFIX :=
    GENERATOR :=
    LINK_FLAGS :=
endif

BUILD_DIR := build-make/$(notdir $(firstword $(CXX)))
ENGINE := $(BUILD_DIR)/tervane$(SUFFIX)

.PHONY: all engine clean

all: engine
ifneq ($(EXE),)
	cmake -E copy $(ENGINE) $(EXE:%$(SUFFIX)=%)$(SUFFIX)
endif

# CMake itself knows when to build again; the engine's tests are not needed here.
engine:
	cmake -S . -B $(BUILD_DIR) $(GENERATOR) -DCMAKE_BUILD_TYPE=Release \
		-DCMAKE_CXX_COMPILER=$(CXX) -DTERVANE_TESTS=OFF $(LINK_FLAGS)
	+cmake --build $(BUILD_DIR) --target tervane

clean:
	cmake -E rm -rf build-make
