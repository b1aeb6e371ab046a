// One assembly run of the Quilter program, from the command line to the
// final model in the data directory.
#ifndef QUILT_QUILTER_ASSEMBLYRUN_HH
#define QUILT_QUILTER_ASSEMBLYRUN_HH

// Returns the process's exit status: 0 when the final model was written.
int runAssembly( int argc, char** argv );

#endif
