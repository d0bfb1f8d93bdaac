#ifndef QUILLMERE_RUN_VERDICTS_H
#define QUILLMERE_RUN_VERDICTS_H

// Judges a completed run by the limits it was given, in order: the Memcpy
// Total against --min-total, then against --min-efficiency of the memory's
// peak, then the sustained Total's drop against --max-drop. The first that
// fails is the only one reported, as every error that ends a run. Returns
// kRunOk or kRunVerdictFailed.
int judgeVerdicts();

#endif
