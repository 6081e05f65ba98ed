// Whether this build has mergecount's AVX2 paths, the merge's and the
// reader's: a build for x86-64 by a compiler with the x86 intrinsics and
// __builtin_cpu_supports. Each path still asks the processor before it runs.
#pragma once

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#define MERGECOUNT_AVX2 1
#else
#define MERGECOUNT_AVX2 0
#endif
