# End-to-end runs of the program under Wine (included by the top Makefile).
#
#   make wine-test                       every scenario under scenarios/
#   make wine-scenario SCENARIO=name     one scenario (artifacts kept in build/)
#
# The harness picks the 32-bit program and prefix when Wine's 32-bit loader runs
# on the host, else the 64-bit build of the same sources in a 64-bit prefix; the
# hand-over scenarios (wow64 yes) run build/dist/QZUninst.exe in a 64-bit prefix
# where 32-bit Wine runs, and build/dist/QZUninst64.exe directly where it does
# not (all but the hand-over checked). WINE_PATH=64 takes that second path on
# a host that could take the first. Scenarios are read through
# build/native/scenario_json.

WINE_PILOT_SRCS := wine/pilot/pilot.cpp
WINE_PILOT_FLAGS := -O2 -Wall -static -static-libgcc -static-libstdc++

.PHONY: wine-test wine-scenario wine-pilot

WINE_PATH ?=
ifneq ($(filter-out 64,$(WINE_PATH)),)
$(error WINE_PATH=64 takes the 64-bit path; leave it unset for the host's own)
endif
WINE_RUN := $(if $(WINE_PATH),QZ_WINE_NO_32BIT=1) /usr/bin/python3 wine/run_scenarios.py

# --kill-at: a 32-bit __stdcall export is decorated ("pilot_call_wnd_proc@12"),
# and the pilot looks the hook up by its plain name; on 64-bit it changes nothing.
WINE_HOOK_LDFLAGS := -Wl,--kill-at

# Each file is checked as it is linked (tools/check-pe.py): the processor, the
# subsystem, only system libraries imported (a MinGW runtime DLL is not in a
# Wine prefix), and the hook's one export under its plain name.
define wine_pilot_rules
build/wine/$(1)/pilot.exe: wine/pilot/pilot.cpp tools/check-pe.py
	@mkdir -p $$(@D)
	$(2) $$(WINE_PILOT_FLAGS) -municode -o $$@ $$<
	@$$(CHECK_PE) --machine $(3) --subsystem console --imports system $$@
build/wine/$(1)/pilot_hook.dll: wine/pilot/pilot_hook.cpp tools/check-pe.py
	@mkdir -p $$(@D)
	$(2) $$(WINE_PILOT_FLAGS) -shared $$(WINE_HOOK_LDFLAGS) -o $$@ $$<
	@$$(CHECK_PE) --machine $(3) --dll --exports pilot_call_wnd_proc --imports system $$@
build/wine/$(1)/restart_probe.exe: wine/pilot/restart_probe.cpp tools/check-pe.py
	@mkdir -p $$(@D)
	$(2) $$(WINE_PILOT_FLAGS) -municode -mwindows -o $$@ $$<
	@$$(CHECK_PE) --machine $(3) --subsystem gui --imports system $$@
build/wine/$(1)/boxdemo.exe: wine/pilot/boxdemo.cpp tools/check-pe.py
	@mkdir -p $$(@D)
	$(2) $$(WINE_PILOT_FLAGS) -mwindows -o $$@ $$<
	@$$(CHECK_PE) --machine $(3) --subsystem gui --imports system $$@
endef
$(eval $(call wine_pilot_rules,pilot32,i686-w64-mingw32-g++,i386))
$(eval $(call wine_pilot_rules,pilot64,x86_64-w64-mingw32-g++,amd64))

WINE_PILOT_FILES := $(foreach a,pilot32 pilot64,$(addprefix build/wine/$(a)/,pilot.exe pilot_hook.dll restart_probe.exe boxdemo.exe))

wine-pilot: $(WINE_PILOT_FILES)

# The 32-bit program alone in a folder of its own, as a deployment that
# shipped it without QZUninst64.exe (scenarios with "wow64 alone").
build/wine/alone/QZUninst.exe: build/dist/QZUninst.exe
	@mkdir -p $(@D)
	cp $< $@

WINE_TEST_PROGRAMS := wine-pilot dist build/wine/alone/QZUninst.exe build/native/scenario_json \
                      build/win32/conformance.exe build/win64/conformance64.exe
.PHONY: wine-test-programs
wine-test-programs: $(WINE_TEST_PROGRAMS)

wine-test: $(WINE_TEST_PROGRAMS)
	$(WINE_RUN)

wine-scenario: wine-pilot dist build/wine/alone/QZUninst.exe build/native/scenario_json
	@test -n "$(SCENARIO)" || { echo "usage: make wine-scenario SCENARIO=name"; exit 2; }
	$(WINE_RUN) --keep $(SCENARIO)
