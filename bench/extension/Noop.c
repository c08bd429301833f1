/* An extension that does nothing: what loading, calling and unloading cost by themselves. */
#include <pavana/extension.h>

void pavana_extension_main(PavanaDatabase* db) { (void)db; }
