# make demo: the uninstaller under Wine on an embedded default PC (wine/demo.py).
#
#   make demo                   Windows XP PC image (demo/xp), "-C"
#   make demo FAMILY=98         Windows 98 PC image (demo/98), no option
#   make demo ARGS=-D           another command-line tail ("make demo ARGS=" for none)
#
# With DISPLAY set and a terminal you answer the boxes; otherwise Xvfb, OK to
# every box but the restart question. Output and screenshots: build/demo/.

FAMILY ?= xp

demo: export QZ_DEMO_ARGS = $(ARGS)
demo: deps
	@$(MAKE) --no-print-directory wine-pilot win32 win64 build/native/scenario_json
	@/usr/bin/python3 wine/demo.py --family "$(FAMILY)" $(if $(filter undefined,$(origin ARGS)),,"--args=$$QZ_DEMO_ARGS")
