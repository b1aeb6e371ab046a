// The fixed-column PDB readers (get_PDB_len, read_PDB, read_PDB_fullatom,
// get_ligand_len, read_ligand) with arrays sized as their callers size them:
// one row per "ATOM " line counted by get_PDB_len (one per "ATOM  "/"HETATM"
// line before "END" for the ligand reader), seen tables indexed by the
// residue number of columns 23-26 (0 .. 9999) and the insertion-code byte.
#include "core/basic_fun_Quilt.hh"
#include "fuzz/FuzzSupport.hh"

#include <cstdlib>
#include <cstring>
#include <sstream>

using namespace quilt_fuzz;

namespace {

int const kResidueRows = 10000;  // four columns of residue number
int const kSeenNames = 30;

struct Tables {
	int** seen = new2DIntArr( kResidueRows, 256 );
	char*** names = new char**[ kResidueRows ];
	Tables()
	{
		for ( int r = 0; r < kResidueRows; ++r ) names[ r ] = new2DCharArr( kSeenNames, 8 );
	}
	// Clears the rows the text can have touched (clearing all 10000 rows per
	// input would cost more than the reading).
	void clear( const std::string& text )
	{
		std::istringstream in( text );
		for ( std::string line; std::getline( in, line ); ) {
			if ( line.size() <= 22 ) continue;
			std::string const f = line.substr( 22, 4 );
			char* end = nullptr;
			long const v = std::strtol( f.c_str(), &end, 10 );
			if ( end == f.c_str() || v < 0 || v >= kResidueRows ) continue;
			std::memset( seen[ v ], 0, 256 * sizeof( int ) );
			for ( int q = 0; q < kSeenNames; ++q ) std::memset( names[ v ][ q ], 0, 8 );
		}
	}
};

// n + 1 rows of every caller array (the readers end their strings with NUL).
struct Arrays {
	int n;
	double** ca;
	double** xyz;
	char* seq;
	int* caResno;
	int* serial;
	char** atomNames;
	char** resNames;
	int* resno;
	char* icode;
	char* caIcode;
	explicit Arrays( int count ) : n( count + 1 )
	{
		ca = new2DArr( n, 3 );
		xyz = new2DArr( n, 3 );
		seq = new char[ n ]();
		caResno = new int[ n ]();
		serial = new int[ n ]();
		atomNames = new2DCharArr( n, 5 );
		resNames = new2DCharArr( n, 4 );
		resno = new int[ n ]();
		icode = new char[ n ]();
		caIcode = new char[ n ]();
	}
	~Arrays()
	{
		release2DArr( n, ca );
		release2DArr( n, xyz );
		delete[] seq;
		delete[] caResno;
		delete[] serial;
		release2DCharArr( n, atomNames );
		release2DCharArr( n, resNames );
		delete[] resno;
		delete[] icode;
		delete[] caIcode;
	}
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput( const uint8_t* data, size_t size )
{
	static Tables tables;
	std::string const path = scratch_file( "model.pdb" );
	write_file( path, data, size );
	std::string const text( reinterpret_cast< const char* >( data ), size );

	int const status = run_guarded( [ & ] {
		int const atoms = get_PDB_len( path.c_str() );
		check( atoms >= 0, "negative atom count" );
		{
			Arrays a( atoms );
			int const c = read_PDB( path.c_str(), a.ca, a.seq, a.caResno, tables.seen );
			check( c >= 0 && c <= atoms, "read_PDB read more CA atoms than there are lines" );
			check( a.seq[ c ] == '\0', "sequence not ended after the last CA" );
		}
		tables.clear( text );
		{
			Arrays a( atoms );
			int count = 0;
			int const c = read_PDB_fullatom( path.c_str(), a.ca, a.seq, a.caResno, a.serial, a.atomNames, a.resNames,
			                                 a.resno, a.xyz, tables.seen, tables.names, a.icode, a.caIcode, count );
			check( c >= 0 && c <= count && count <= atoms, "read_PDB_fullatom counts out of range" );
		}
		tables.clear( text );
		int const ligands = get_ligand_len( path.c_str() );
		{
			Arrays a( ligands );
			std::vector< std::string > heads( ligands + 1 );
			int const c = read_ligand( path.c_str(), a.xyz, heads.data() );
			check( c == ligands, "read_ligand read another count than get_ligand_len" );
		}
	} );
	check( status == -1, "a column reader ended the process with status " + std::to_string( status ) );
	return 0;
}
