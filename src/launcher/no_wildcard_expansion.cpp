// The command's words reach the new process as typed, so the C runtime must
// not expand wildcards in the argument vector either: a pattern expanded to a
// file name would no longer be found in the raw command line. Defining the
// switch here overrides the runtime library's default, and linking a globbing
// start-up object as well fails with a duplicate definition.
extern "C" {
int _dowildcard = 0;
}
