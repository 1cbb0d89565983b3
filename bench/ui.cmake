qm_add_bench(bench_ui_htmltext SOURCES ui_htmltext_bench.cpp LIBS qm_ui_text)
