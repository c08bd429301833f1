/* A shared object with no entry of its own, loaded and unloaded by the library step tests. */
int pavana_test_library_marker = 1;
