// Counts every heap allocation in the process, ours and the libraries'.
#pragma once

#include <cstdint>

uint64_t heapAllocations();
