// The library's version text, for diagnostics.
extern const char QBS_VERSION[] = "QBS 1.0";
