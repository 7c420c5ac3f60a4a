#include "chess/pst.h"

pst_pair_t pst_table[12][64];
