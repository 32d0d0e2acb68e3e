// Compiled once per sweep executable, so that the sweep itself is compiled only once.
extern const int kSweptClone;
const int kSweptClone = SIMPLE_ENCRYPTION_SWEPT_CLONE;
