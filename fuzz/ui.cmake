qm_add_fuzzer(fuzz_ui_htmltext SOURCES fuzz_ui_htmltext.cpp LIBS qm_ui_text)
