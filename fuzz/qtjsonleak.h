#pragma once

// For targets that parse JSON with Qt. Qt 5.15's parser loses the values it drops when a key repeats around a
// container value, e.g. {"b":1,"b":[{"c":1}],"b":1}: a few hundred bytes per such reply, inside Qt, not ours to
// mend. That leak is ignored; full stacks are taken (the system Qt has no frame pointers) so its frame is seen.
// Include in exactly one file of a target.
extern "C" const char* __lsan_default_suppressions() {
    return "leak:QJsonDocument::fromJson\n";
}
extern "C" const char* __asan_default_options() {
    return "fast_unwind_on_malloc=0";
}
