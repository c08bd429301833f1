/* An entry that does nothing. */
#include <pavana/extension.h>

void pavana_extension_main(PavanaDatabase* db) { (void)db; }
