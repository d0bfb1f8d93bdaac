#ifndef QUILLMERE_RUN_VERDICTS_H
#define QUILLMERE_RUN_VERDICTS_H

// Judges a completed run by the limits it was given, in order: the Memcpy
// Total against --min-total, then against --min-efficiency of the memory's
// peak (a copy that fits the L2 fails it, being the cache's), then the
// sustained Total's drop against --max-drop. The first that fails is the
// only one reported, as every error that ends a run. Returns kRunOk or
// kRunVerdictFailed.
int judgeVerdicts();

// After a run's phases: when the size fits the L2 and the Memset figure
// stands, "Note: the <S> MiB buffers fit the GPU's <L> MiB L2 cache: these
// figures are the cache's; use --size=<M> or more for the memory's" on
// standard error.
void noteCacheSized();

#endif
