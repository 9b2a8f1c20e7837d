# Two builds from one set of sources:
#   build/win32/QZUninst.exe   the real program (MinGW-w64, 32-bit Windows)
#   build/win64/QZUninst64.exe the same for 64-bit Windows
#   build/dist/                both programs (signed with SIGN_PFX=...), ReadMe.txt, SHA256SUMS and the zip
#   build/native/qz_tests      the logic on the simulated PC, with the test suite
#   build/asan/qz_tests        the same under AddressSanitizer and UBSan
#
#   make                       both builds
#   make win32 / win64 / dist  one program, or what ships
#   make test                  install what is missing, build, run every test (what CI runs)
#   make check                 the quick loop: the unit suite and the scenarios a change touches
#   make unit-test             the unit suite on the simulated PC
#   make asan-test             the same under the sanitizers
#   make fuzz                  30 s of each libFuzzer target; FUZZ_SECONDS=600 for longer
#   make reproducible-check    build what ships a second time elsewhere and compare
#   make signing-check         sign copies with a throwaway certificate and verify them
#   make wine-test             every scenario end to end under Wine (wine/wine.mk)
#   make wine-scenario SCENARIO=name   one of them, its prefix kept
#   make demo                  run the uninstaller on an embedded default PC under Wine (wine/demo.mk)
#   make deps                  install the Debian packages the build needs
#   make clean                 remove build/
#   make print-logic-dirs      the program's source folders, for tools

# The program's folders, top to bottom: the shell calls the back-ends, and
# all three use the common layer. Tools ask for the list: make -s print-logic-dirs
LOGIC_DIRS := shell nt_removal w9x_removal common
# With them, the UTF-16 forms of the characters their texts use, which the
# build lists from those texts (rule below).
OWN_CHARACTERS := build/gen/own_characters.cpp
LOGIC_SRCS := $(sort $(wildcard $(addsuffix /*.cpp,$(LOGIC_DIRS)))) $(OWN_CHARACTERS)
SIM_SRCS   := $(sort $(wildcard simpc/*.cpp))
TEST_SRCS  := $(sort $(wildcard tests/*.cpp))

# ---- the Windows program ---------------------------------------------------
WIN_CXX     := i686-w64-mingw32-g++
WIN_WINDRES := i686-w64-mingw32-windres
WIN_CXXFLAGS := -Os -Wall -Wextra -fno-exceptions -fno-rtti -fno-asynchronous-unwind-tables \
                -fno-threadsafe-statics -fstack-protector-strong -D_WIN32_WINNT=0x0500 -DWINVER=0x0500
# No time stamp in the PE header: the same sources give the same bytes.
# ASLR and NX (and high-entropy ASLR for the 64-bit program) are asked for by
# name, not left to the linker's defaults; the stack protector's runtime is
# linked in with -static (no libssp DLL beside the program).
WIN_LDFLAGS := -static -mwindows -s -Wl,--subsystem,windows:4.0 -Wl,--major-os-version,4 -Wl,--no-insert-timestamp \
               -Wl,--dynamicbase -Wl,--nxcompat -fstack-protector-strong
WIN_LIBS    := -luser32 -ladvapi32 -lkernel32

# Every Windows file is checked as it is linked (machine, subsystem, imports,
# exports); a file that fails is deleted (.DELETE_ON_ERROR), so the next make
# links it again instead of taking it as built.
CHECK_PE := /usr/bin/python3 tools/check-pe.py
# ... and the checker is shown, on that very file, to miss none of the
# hardening flags it asks for (each taken off in turn must be reported).
CHECK_PE_ROWS := /usr/bin/python3 tools/check-pe-rows.py
.DELETE_ON_ERROR:

WIN_OBJS := $(patsubst %.cpp,build/win32/obj/%.o,$(LOGIC_SRCS)) build/win32/obj/resources.o

WIN64_CXX     := x86_64-w64-mingw32-g++
WIN64_WINDRES := x86_64-w64-mingw32-windres
WIN64_LDFLAGS := -static -mwindows -s -Wl,--no-insert-timestamp \
                 -Wl,--dynamicbase -Wl,--nxcompat -Wl,--high-entropy-va -fstack-protector-strong
WIN64_OBJS := $(patsubst %.cpp,build/win64/obj/%.o,$(LOGIC_SRCS)) build/win64/obj/resources.o

# ---- the native builds -------------------------------------------------------
CXX ?= g++
NATIVE_CXXFLAGS := -std=c++17 -g -O1 -Wall -Wextra
ASAN_FLAGS := -fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer
GTEST_LIBS := -lgtest_main -lgtest -lpthread

# The checks of Windows behaviour that run on the simulated PC and on Wine alike.
CONFORMANCE_SRC := tests/conformance/win32_conformance.cpp

NATIVE_OBJS := $(patsubst %.cpp,build/native/obj/%.o,$(LOGIC_SRCS) $(SIM_SRCS) $(TEST_SRCS) $(CONFORMANCE_SRC))
ASAN_OBJS   := $(patsubst %.cpp,build/asan/obj/%.o,$(LOGIC_SRCS) $(SIM_SRCS) $(TEST_SRCS) $(CONFORMANCE_SRC))

.PHONY: all win32 win64 dist native asan fuzz test check unit-test asan-test deps clean demo reproducible-check print-logic-dirs

all: dist native

deps:
	@sh tools/install-deps.sh

win32: build/win32/QZUninst.exe
win64: build/win64/QZUninst64.exe
# What ships goes to DIST (make dist DIST=folder puts it elsewhere, as the signing check does).
DIST := build/dist
DIST_ZIP := $(DIST)/QZUninst-$(shell sed -n 's/^\#define QZ_VERSION_TEXT "\(.*\)"/\1/p' shell/version.h).zip
DIST_PROGRAMS := $(DIST)/QZUninst.exe $(DIST)/QZUninst64.exe
dist: $(DIST_PROGRAMS) $(DIST_ZIP)
native: build/native/qz_tests build/native/scenario_json
asan: build/asan/qz_tests

# The program's sources are UTF-8; its texts are code page 932 in the program.
LOGIC_OBJ_PATTERNS := $(patsubst %,\%/%/,$(LOGIC_DIRS))
CP932_FLAGS = $(if $(filter $(LOGIC_OBJ_PATTERNS),$(dir $@)),-finput-charset=UTF-8 -fexec-charset=CP932)
# In the tests' builds the program's functions keep their own stack frames
# (no inlining, no sibling calls): the fault sweep names the function that
# made a failing call from its frame.
FRAME_FLAGS = $(if $(filter $(LOGIC_OBJ_PATTERNS),$(dir $@)),-fno-inline -fno-optimize-sibling-calls)

# The objects and resources of one Windows program: its folder, compiler and windres.
define windows_objects
build/$(1)/obj/%.o: %.cpp
	@mkdir -p $$(dir $$@)
	$(2) $$(WIN_CXXFLAGS) $$(CP932_FLAGS) -MMD -MP -c $$< -o $$@

build/$(1)/obj/resources.o: shell/resources.rc shell/QZUninst.manifest shell/version.h
	@mkdir -p $$(dir $$@)
	$(3) -I shell -O coff -i $$< -o $$@
endef
$(eval $(call windows_objects,win32,$(WIN_CXX),$(WIN_WINDRES)))
$(eval $(call windows_objects,win64,$(WIN64_CXX),$(WIN64_WINDRES)))

build/win32/QZUninst.exe: $(WIN_OBJS) tools/check-pe.py tools/check-pe-rows.py tools/win98-imports.txt
	$(WIN_CXX) $(WIN_LDFLAGS) -o $@ $(WIN_OBJS) $(WIN_LIBS)
	@$(CHECK_PE) --machine i386 --subsystem gui:4.0 --imports win98 --hardened $@
	@$(CHECK_PE_ROWS) $@

build/win64/QZUninst64.exe: $(WIN64_OBJS) tools/check-pe.py tools/check-pe-rows.py
	$(WIN64_CXX) $(WIN64_LDFLAGS) -o $@ $(WIN64_OBJS) $(WIN_LIBS)
	@$(CHECK_PE) --machine amd64 --subsystem gui --imports system --hardened $@
	@$(CHECK_PE_ROWS) $@

# Both programs go to DIST together, signed when SIGN_PFX names a PKCS#12
# certificate (make dist SIGN_PFX=file [SIGN_PASS_FILE=file]
# [SIGN_TIMESTAMP_URL=url]), unsigned and reproducible without it; a refused
# certificate leaves DIST as it was. The stamp beside DIST says how they were
# made (unsigned, or which certificate and time-stamp server) and changes only
# when that does, so a signed build is never taken for an unsigned one, nor
# the reverse.
SIGN_DIST := /usr/bin/python3 tools/sign_dist.py
SIGN_OPTIONS = $(strip $(if $(SIGN_PFX),--pfx '$(SIGN_PFX)') $(if $(SIGN_PASS_FILE),--pass-file '$(SIGN_PASS_FILE)') \
               $(if $(SIGN_TIMESTAMP_URL),--timestamp-url '$(SIGN_TIMESTAMP_URL)'))
SIGN_STAMP := $(DIST).signing

.PHONY: FORCE signing-check
$(SIGN_STAMP): FORCE
	@$(SIGN_DIST) $(SIGN_OPTIONS) --stamp $@

# Kept when the recipe fails: sign_dist.py never leaves a program half-written,
# and make 4.3 deletes the other targets of a grouped rule, changed or not.
.PRECIOUS: $(DIST_PROGRAMS)
$(DIST_PROGRAMS) &: build/win32/QZUninst.exe build/win64/QZUninst64.exe $(SIGN_STAMP) tools/sign_dist.py
	$(SIGN_DIST) $(SIGN_OPTIONS) $(DIST) build/win32/QZUninst.exe build/win64/QZUninst64.exe

# The conformance checks as Windows console programs, for the Wine harness.
build/win32/conformance.exe: $(CONFORMANCE_SRC) tests/conformance/main.cpp tests/conformance/win32_conformance.h tools/check-pe.py
	$(WIN_CXX) -O2 -Wall -static -o $@ $(CONFORMANCE_SRC) tests/conformance/main.cpp
	@$(CHECK_PE) --machine i386 --subsystem console --imports system $@
build/win64/conformance64.exe: $(CONFORMANCE_SRC) tests/conformance/main.cpp tests/conformance/win32_conformance.h tools/check-pe.py
	$(WIN64_CXX) -O2 -Wall -static -o $@ $(CONFORMANCE_SRC) tests/conformance/main.cpp
	@$(CHECK_PE) --machine amd64 --subsystem console --imports system $@

# ReadMe.txt (code page 932, CR LF), SHA256SUMS and the archive of all four files.
$(DIST_ZIP): $(DIST_PROGRAMS) docs/ReadMe.ja.txt tools/make_dist.py shell/version.h
	/usr/bin/python3 tools/make_dist.py docs/ReadMe.ja.txt $(DIST)

reproducible-check: dist
	@sh tools/check-reproducible.sh

# Both programs signed through make dist with a throwaway certificate and CA
# made in build/, verified, their signatures taken off and compared with the
# build; and the refusals (tools/check-signing.sh).
signing-check: build/win32/QZUninst.exe build/win64/QZUninst64.exe
	@sh tools/check-signing.sh

build/native/obj/%.o: %.cpp
	@mkdir -p $(dir $@)
	$(CXX) $(NATIVE_CXXFLAGS) $(CP932_FLAGS) $(FRAME_FLAGS) -MMD -MP -c $< -o $@

build/native/qz_tests: $(NATIVE_OBJS)
	$(CXX) -o $@ $^ $(GTEST_LIBS)

# The scenario reader of the unit suite as a tool: the Wine harness reads
# every scenario folder through it (JSON), so there is one reader.
SCENARIO_JSON_OBJS := $(patsubst %.cpp,build/native/obj/%.o,tools/scenario_json.cpp tests/scenario_format.cpp $(SIM_SRCS))

build/native/scenario_json: $(SCENARIO_JSON_OBJS)
	$(CXX) -o $@ $^

build/asan/obj/%.o: %.cpp
	@mkdir -p $(dir $@)
	$(CXX) $(NATIVE_CXXFLAGS) $(ASAN_FLAGS) $(CP932_FLAGS) $(FRAME_FLAGS) -MMD -MP -c $< -o $@

build/asan/qz_tests: $(ASAN_OBJS)
	$(CXX) $(ASAN_FLAGS) -o $@ $^ $(GTEST_LIBS)

# ---- fuzzing (libFuzzer, clang) ------------------------------------------------
FUZZ_CXX := clang++
FUZZ_FLAGS := -std=c++17 -g -O1 -fno-omit-frame-pointer -fsanitize=address,undefined -fno-sanitize-recover=all
FUZZ_TARGETS := text hardware_ids registry_data inf_text
FUZZ_SECONDS ?= 30
FUZZ_OBJS := $(patsubst %.cpp,build/fuzz/obj/%.o,$(LOGIC_SRCS) $(SIM_SRCS) tests/harness.cpp)

# clang knows no code page 932: the sources with Japanese literals (the texts
# and the product tables) are compiled by g++, without coverage; the rest by
# clang, with coverage, Japanese comments or not. A file clang compiles that
# holds Japanese text outside its comments stops the build (below): it
# belongs in this list.
CP932_SRCS := common/texts.cpp nt_removal/product_table.cpp w9x_removal/product_table.cpp

$(OWN_CHARACTERS): tools/own-characters.py $(CP932_SRCS)
	@mkdir -p $(dir $@)
	/usr/bin/python3 tools/own-characters.py $@ $(CP932_SRCS)
CP932_LITERAL_CHECK = $(if $(filter $(LOGIC_SRCS),$(filter-out $(CP932_SRCS),$<)), \
    @if $(FUZZ_CXX) $(FUZZ_FLAGS) -E -P $< | grep -qP '[^\x00-\x7F]'; then \
        echo "$<: Japanese text outside comments (clang cannot compile it to code page 932): add it to CP932_SRCS"; exit 1; fi)
# Of the simulated PC, only the parts that read the fuzzers' bytes (INF text,
# registry data, device properties) guide the fuzzers. The rest (paths,
# handles, libraries, the switchboard, images) and the harness are compiled
# without coverage and at -O2, sanitizers still on: their branches say nothing
# about the program, and they run for every file and key the program names.
FUZZ_GUIDED_SIM := simpc/inf.cpp simpc/registry.cpp simpc/setupapi.cpp
FUZZ_UNGUIDED := $(filter-out $(FUZZ_GUIDED_SIM),$(SIM_SRCS)) tests/harness.cpp
FUZZ_COVERAGE = $(if $(filter $(FUZZ_UNGUIDED),$<),,-fsanitize=fuzzer-no-link)
FUZZ_OPT = $(if $(filter $(FUZZ_UNGUIDED),$<),-O2)
FUZZ_COMPILER = $(if $(filter $(CP932_SRCS),$<),$(CXX) $(CP932_FLAGS),$(FUZZ_CXX) $(FUZZ_COVERAGE))

build/fuzz/obj/%.o: %.cpp
	@mkdir -p $(dir $@)
	$(CP932_LITERAL_CHECK)
	$(FUZZ_COMPILER) $(FUZZ_FLAGS) $(FUZZ_OPT) -MMD -MP -c $< -o $@

.SECONDARY: $(FUZZ_OBJS)

build/fuzz/fuzz_%: tests/fuzz/fuzz_%.cpp $(FUZZ_OBJS)
	$(FUZZ_CXX) $(FUZZ_FLAGS) -fsanitize=fuzzer -o $@ $^

# Every target from its seed corpus for FUZZ_SECONDS (new inputs go to build/,
# not to the seeds), one line each with its rate. Fails on a crash or a
# broken check, never on a speed: a target under FUZZ_MIN_RATE inputs a
# second gets a warning. The targets restore the simulated PC instead of
# building it for every input, and a target that slows to a fraction of its
# usual rate has usually lost that (or has its call log back on), which
# leaves the short runs finding nothing; but a busy machine can halve a rate
# for a while with nothing wrong in the program.
FUZZ_MIN_RATE ?= 1000

fuzz: $(addprefix build/fuzz/fuzz_,$(FUZZ_TARGETS))
	@failed=; \
	for t in $(FUZZ_TARGETS); do \
	    sh tests/fuzz/run-target.sh $$t $(FUZZ_SECONDS) $(FUZZ_MIN_RATE) || failed="$$failed $$t"; \
	done; \
	if [ -n "$$failed" ]; then echo "fuzz: failed:$$failed"; exit 1; fi

unit-test: build/native/qz_tests
	build/native/qz_tests --gtest_brief=1

# The sanitizer build runs the fault sweep on every 7th fault only, the
# rotation turned by the commit (SWEEP_SEED), so that successive commits
# cover every fault there too; the plain build's unit-test runs them all.
SWEEP_SEED ?= $(shell git rev-parse --short=8 HEAD 2>/dev/null || echo 0)
ASAN_SWEEP_EVERY ?= 7

asan-test: build/asan/qz_tests
	ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 QZ_SWEEP_SAMPLE=$(ASAN_SWEEP_EVERY):$(SWEEP_SEED) \
	    build/asan/qz_tests --gtest_brief=1

JOBS ?= 2

# make test: everything is built first, then the layers that do not depend on
# each other run JOBS at a time, each one's output whole once it ends
# (--output-sync), each followed by its time; the last lines list every
# layer with its verdict and time, and the exit code is 1 when one failed.
TEST_LAYERS := unit-test asan-test fuzz wine-test reproducible-check signing-check
TIMES := build/test-times

test: deps
	$(MAKE) -j$(JOBS) dist native asan $(addprefix build/fuzz/fuzz_,$(FUZZ_TARGETS)) wine-test-programs
	@rm -rf $(TIMES) && mkdir -p $(TIMES) && date +%s > $(TIMES)/.start
	@$(MAKE) -k -j$(JOBS) --output-sync=target --no-print-directory $(addprefix timed-,$(TEST_LAYERS)); \
	    sh tools/test-summary.sh $(TIMES) $(TEST_LAYERS)

# The everyday loop: the unit suite (its fault sweep sampled as in the
# sanitizer build) and, under Wine, the scenarios the change touches
# (tools/touched-scenarios.py); the program's own changes meet every
# scenario in the unit suite, on the simulated PC.
check: build/native/qz_tests build/native/scenario_json
	QZ_SWEEP_SAMPLE=$(ASAN_SWEEP_EVERY):$(SWEEP_SEED) build/native/qz_tests --gtest_brief=1
	@s=$$(/usr/bin/python3 tools/touched-scenarios.py); \
	if [ -z "$$s" ]; then echo "check: no scenario touched (make wine-test runs them all)"; exit 0; fi; \
	echo "check: the scenarios the change touches:" $$s; \
	$(MAKE) --no-print-directory wine-pilot dist build/wine/alone/QZUninst.exe && $(WINE_RUN) $$s

# One layer, timed: its verdict and seconds go to $(TIMES)/LAYER.
timed-%:
	@t0=$$(date +%s); $(MAKE) --no-print-directory $*; rc=$$?; t=$$(( $$(date +%s) - t0 )); \
	    if [ $$rc = 0 ]; then v=passed; else v=FAILED; fi; \
	    echo "$$v $$t" > $(TIMES)/$*; echo "== $*: $$v in $$t s"; exit $$rc

include wine/wine.mk
include wine/demo.mk

clean:
	rm -rf build

print-logic-dirs:
	@echo $(LOGIC_DIRS)

-include $(shell find build -name '*.d' 2>/dev/null)
