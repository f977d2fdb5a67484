# quillara_add_test(NAME ... SOURCES ... LABELS ...)
