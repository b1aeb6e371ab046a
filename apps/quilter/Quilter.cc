// Quilter: assembles a complex from its chain models and a density map.
//   Quilter data_path map resolution [Options]
#include "apps/quilter/AssemblyRun.hh"

int main( int argc, char** argv ) { return runAssembly( argc, argv ); }
