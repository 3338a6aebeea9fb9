#include "pdb/PDBDataException.h"

// The class is header-only; this unit keeps one translation unit per library unit.
