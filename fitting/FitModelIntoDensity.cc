#include "fitting/FitModelIntoDensity.hh"

#include "core/Protein.hh"
#include "core/basic_fun_Quilt.hh"
#include "core/model_file_format.hh"
#include "core/pdb_atom_records.hh"
#include "fitting/Placer.hh"
#include "transforms/ModelOutput.hh"
#include "utility/memory_stop.hh"
#include "utility/temporary_files.hh"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <climits>
#include <ctime>
#include <fstream>
#include <dirent.h>
#include <iostream>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

void translate_to_densCenter( std::vector<std::vector<double*> >& model, double* centre )
{
	double sum[3] = { 0, 0, 0 };
	long count = 0;
	for ( auto const& res : model )
		for ( double* p : res ) {
			for ( int r = 0; r < 3; ++r ) sum[r] += p[r];
			++count;
		}
	if ( count == 0 ) return;
	double t[3];
	for ( int r = 0; r < 3; ++r ) t[r] = centre[r] - sum[r] / count;
	for ( auto& res : model )
		for ( double* p : res )
			for ( int r = 0; r < 3; ++r ) p[r] += t[r];
}

namespace {

// The model as the search sees it: only residues that have an atom named
// "CA" take part, so that row i of every CA array and entry i of the
// heavy-atom lists belong to the same residue.
struct ModelParts {
	std::vector<std::vector<double*> > heavy; // reduced heavy-atom model per residue (owned)
	std::vector<std::vector<std::string> > names;
	double** ca = nullptr;                    // input CA positions, nCA rows (owned)
	int nCA = 0;
	double** atoms = nullptr;                 // every atom read, m rows (owned)
	int m = 0;
	int firstChain = 0;                       // atom rows of the first chain (the fitted one)

	~ModelParts()
	{
		releaseVecVecT1D( heavy );
		if ( ca ) release2DArr( nCA, ca );
		if ( atoms ) release2DArr( m, atoms );
	}
};

int find_ca( std::vector<std::string> const& names )
{
	for ( size_t j = 0; j < names.size(); ++j )
		if ( names[j] == "CA" ) return (int)j;
	return -1;
}

void extract_model( Protein& protein, ModelParts& parts )
{
	std::vector<int> keep;
	for ( size_t i = 0; i < protein.residues.size(); ++i ) {
		if ( find_ca( protein.residues[i].atomNames ) >= 0 ) keep.push_back( (int)i );
	}
	parts.nCA = (int)keep.size();
	parts.ca = new2DArr( parts.nCA, 3 );
	for ( int r = 0; r < parts.nCA; ++r ) {
		Residue const& res = protein.residues[keep[r]];
		double const* p = res.xyz[find_ca( res.atomNames )];
		for ( int c = 0; c < 3; ++c ) parts.ca[r][c] = p[c];
		std::vector<double*> xyz;
		std::vector<std::string> nm;
		protein.getIthResidueHeavyAtomXYZ( keep[r], xyz, nm );
		parts.heavy.push_back( xyz );
		parts.names.push_back( nm );
	}
	// Every atom line of the file, read by the rule the writer uses, so that
	// row k is written back into the line it came from whatever the residue
	// reader kept or dropped.  The residue reader reads the first chain; the
	// atom lines of later chains are moved by the same rigid transform as the
	// fitted part, so that a written model is never half moved.
	parts.atoms = read_model_atom_rows( protein.pdbPath, parts.m, parts.firstChain );
	if ( !parts.atoms ) {
		parts.atoms = new2DArr( 0, 3 );
		parts.m = parts.firstChain = 0;
	}
}

// CA rows of a moved heavy-atom model, one per residue (new nCA x 3 array).
double** moved_ca( std::vector<std::vector<double*> > const& moved, std::vector<std::vector<std::string> > const& names )
{
	double** out = new2DArr( (int)moved.size(), 3 );
	for ( size_t i = 0; i < moved.size(); ++i ) {
		int const j = find_ca( names[i] );
		if ( j < 0 ) continue;
		for ( int c = 0; c < 3; ++c ) out[i][c] = moved[i][j][c];
	}
	return out;
}

void free_results( std::vector<std::pair<double, double*> >& results )
{
	for ( auto& r : results ) delete[] r.second;
	results.clear();
}

bool usable_pose_count( double nm )
{
	if ( !( nm >= 1.0 ) || nm > kMaxPoseCount || nm != std::floor( nm ) ) {
		std::cout << "Error! The number of poses (-nm) must be a whole number from 1 to " << kMaxPoseCount << "; got "
		          << nm << "." << std::endl;
		return false;
	}
	return true;
}

bool ends_with_ci( std::string const& s, char const* suffix )
{
	size_t const n = std::strlen( suffix );
	if ( s.size() < n ) return false;
	for ( size_t i = 0; i < n; ++i )
		if ( std::tolower( (unsigned char)s[s.size() - n + i] ) != suffix[i] ) return false;
	return true;
}

// Model name (the file name without a final ".pdb" or ".ent", in any case;
// other names stay whole) and directory.
void name_and_dir( std::string const& modelPath, std::string& name, std::string& dir )
{
	name = get_name_from_path( modelPath );
	if ( name.size() > 4 && ( ends_with_ci( name, ".pdb" ) || ends_with_ci( name, ".ent" ) ) )
		name = name.substr( 0, name.size() - 4 );
	dir = get_directory( modelPath );
	if ( dir.empty() && modelPath.find( '/' ) == std::string::npos ) dir = ".";
}

// Whether a file can be made in dir: tried with a temporary file, removed
// at once (permissions alone do not tell of read-only file systems).
bool directory_writable( std::string const& dir )
{
	std::string templ = ( dir.empty() ? std::string( "/" ) : dir + "/" ) + ".placer_write_testXXXXXX";
	int const fd = utility::make_temporary_file( templ );
	if ( fd < 0 ) {
		std::cout << "Error! Cannot write in the model's directory " << ( dir.empty() ? "/" : dir ) << ": "
		          << std::strerror( errno ) << "; no model written." << std::endl;
		return false;
	}
	::close( fd );
	utility::remove_temporary_file( templ );
	return true;
}

// The number k of a result name <name>_<k>.pdb as the writer makes it (k in
// decimal from 1, no leading zero, no sign); 0 for any other entry name.
unsigned long result_number( std::string const& entry, std::string const& name )
{
	std::string const prefix = name + "_";
	if ( entry.size() <= prefix.size() + 4 || entry.compare( 0, prefix.size(), prefix ) != 0
		|| entry.compare( entry.size() - 4, 4, ".pdb" ) != 0 )
		return 0;
	std::string const k = entry.substr( prefix.size(), entry.size() - prefix.size() - 4 );
	if ( k[0] == '0' || k.size() > 9 || k.find_first_not_of( "0123456789" ) != std::string::npos ) return 0;
	return std::stoul( k );
}

// No output file (<dir>/<name>_k.pdb, k = 1 .. nm) may be one of the inputs:
// writing it would replace the map or the model (a map copied under an
// output's name, a hard link, or an output name that is a symbolic link to
// an input).  Files are compared by device and inode, links followed.
bool outputs_spare_inputs( std::string const& dir, std::string const& name, size_t nm, std::string const& mapPath,
	std::string const& modelPath )
{
	struct Input {
		std::string path;
		char const* what;
		struct stat st;
		bool known;
	} inputs[2] = { { mapPath, "the density map", {}, false }, { modelPath, "the model file", {}, false } };
	for ( Input& in : inputs ) in.known = ::stat( in.path.c_str(), &in.st ) == 0;

	// Only names of the form <name>_<k>.pdb can be outputs: the directory is
	// listed rather than every k up to nm tried.
	DIR* d = ::opendir( dir.c_str() );
	if ( !d ) return true; // the writability check reports an unusable directory
	bool ok = true;
	while ( ok ) {
		dirent const* e = ::readdir( d );
		if ( !e ) break;
		std::string const entry = e->d_name;
		unsigned long const k = result_number( entry, name );
		if ( k == 0 || k > nm ) continue;
		std::string const out = dir + "/" + entry;
		struct stat st;
		if ( ::stat( out.c_str(), &st ) != 0 ) continue;
		for ( Input const& in : inputs ) {
			if ( in.known && st.st_dev == in.st.st_dev && st.st_ino == in.st.st_ino ) {
				std::cout << "Error! The output file " << out << " is " << in.what << " " << in.path
				          << " (the same file): writing a fitted model there would replace it; no model written." << std::endl;
				ok = false;
				break;
			}
		}
	}
	::closedir( d );
	return ok;
}

// Results of an earlier run of the same model are not removed: a caller that
// collects <name>_1.pdb, <name>_2.pdb, ... until the first missing number
// would otherwise take the files of that run, beyond the `written` of this
// one, for its own.  They are found by the naming rule (every regular file
// <name>_<k>.pdb with k above `written`, contiguous or not; the inputs never
// count) and named in one note, consecutive numbers as a range.
void note_older_results( std::string const& dir, std::string const& name, size_t written,
	std::string const& mapPath, std::string const& modelPath )
{
	DIR* d = ::opendir( dir.c_str() );
	if ( !d ) return;
	struct stat inputs[2];
	bool known[2] = { ::stat( mapPath.c_str(), &inputs[0] ) == 0, ::stat( modelPath.c_str(), &inputs[1] ) == 0 };
	std::vector<unsigned long> older;
	while ( dirent const* e = ::readdir( d ) ) {
		unsigned long const k = result_number( e->d_name, name );
		if ( k <= written ) continue;
		struct stat st;
		if ( ::stat( ( dir + "/" + e->d_name ).c_str(), &st ) != 0 || !S_ISREG( st.st_mode ) ) continue;
		bool input = false;
		for ( int i = 0; i < 2; ++i )
			input = input || ( known[i] && st.st_dev == inputs[i].st_dev && st.st_ino == inputs[i].st_ino );
		if ( !input ) older.push_back( k );
	}
	::closedir( d );
	if ( older.empty() ) return;
	std::sort( older.begin(), older.end() );
	auto file = [ &name ]( unsigned long k ) { return name + "_" + std::to_string( k ) + ".pdb"; };
	// Runs of three or more numbers are written "first to last"; at most
	// kShown runs are named.
	size_t const kShown = 20;
	std::string list;
	size_t runs = 0, left = 0;
	for ( size_t i = 0; i < older.size(); ) {
		size_t j = i;
		while ( j + 1 < older.size() && older[j + 1] == older[j] + 1 ) ++j;
		if ( runs == kShown ) {
			left += j - i + 1;
		} else {
			std::string const item = j - i >= 2 ? file( older[i] ) + " to " + file( older[j] )
			                       : j == i   ? file( older[i] )
			                                  : file( older[i] ) + ", " + file( older[j] );
			list += ( list.empty() ? "" : ", " ) + item;
			++runs;
		}
		i = j + 1;
	}
	if ( left > 0 ) list += " and " + std::to_string( left ) + " more";
	std::cout << "Placer> Note: older results of this model are left in place and were not written by this run: "
	          << list << "." << std::endl;
}

// Every atom line ("ATOM" or "HETATM") of the model must take moved
// coordinates: a line too short to hold them, or one whose coordinates are
// not finite numbers, would be written back unmoved or as "nan".
bool model_lines_usable( std::string const& modelPath )
{
	std::string problem;
	if ( check_model_atom_lines( modelPath, problem ) ) return true;
	std::cout << "Error! The model file " << modelPath << " cannot be fitted: " << problem << "; no model written."
	          << std::endl;
	return false;
}

// The map must hold density to fit into: some voxel above zero, and some
// above the threshold (the search points and the map centre come from them).
bool map_has_density( FastDensityScore const& map, std::string const& mapPath, double threshold )
{
	if ( !map.hasPositiveDensity() ) {
		std::cout << "Error! The density map " << mapPath << " has no positive density; nothing to fit into, no model"
		          << " written." << std::endl;
		return false;
	}
	if ( map.nDensPoints == 0 ) {
		std::cout << "Error! No voxel of the density map " << mapPath << " lies above the threshold " << threshold
		          << " (-dc); no model written." << std::endl;
		return false;
	}
	return true;
}

// The residues of the first chain of the model file, and those of them
// that the fit leaves out, both counted on the file's lines by one rule:
// each residue number and insertion code (columns 23-27) once as it
// changes, up to the end of the first chain where the model reader stops
// (a "TER" followed by another chain, "END", "ENDMDL").  The two counts come
// from one pass so that the residues fitted (residues - leftOut) and those
// left out always make up the chain.
//
// The model reader (Protein::readPDB) begins a new residue at a change of
// the residue number (columns 23-26) only when the open one has a CA; a
// change met while it has none drops the first line of the next residue and
// reads on into the same residue.  So only the last residue read can be
// without a CA, and it then holds every residue of the file from its start
// to the end of the first chain, some of them (those whose only line was
// dropped) without a line of their own: the reader counts them as one
// residue, which is why its own count is not the one reported.  Residues
// without a CA before a residue with one are read with it and fitted with
// it: they are not left out.
struct ChainResidues {
	int residues = 0; // of the first chain
	int leftOut = 0;  // at its end, without a CA
};

ChainResidues first_chain_residues( std::string const& modelPath )
{
	std::ifstream in( modelPath.c_str() );
	std::vector<std::string> lines;
	for ( std::string l; std::getline( in, l ); ) lines.push_back( l );
	PdbLineRoles const roles = pdb_line_roles( lines );
	std::string chain;           // chain of the last atom record read, as the reader keeps it
	bool first = true, hasCA = false;
	long number = 0;             // residue number of the last record
	std::string residue;         // columns 23-27 of the last record
	int open = 0;                // residues of the file in the open residue
	ChainResidues counts;
	for ( size_t i = 0; i < roles.end; ++i ) {
		std::string const& line = lines[i];
		if ( line.size() < 3 ) continue;
		if ( line.compare( 0, 3, "TER" ) == 0 && pdb_ter_ends_chain( lines, i, chain ) ) break;
		if ( pdb_is_end_record( line ) ) break;
		bool const atom = line.compare( 0, 4, "ATOM" ) == 0;
		if ( !atom && roles.role[i] != PdbLineRole::ChainAtom ) continue;
		std::string padded = line;
		if ( padded.size() < 54 ) padded.resize( 54, ' ' );
		chain = pdb_chain_id( padded );
		std::string const field = padded.substr( 22, 4 );
		char* end = nullptr;
		long n = std::strtol( field.c_str(), &end, 10 );
		if ( end == field.c_str() ) n = LONG_MIN; // no number: one residue of its own kind
		bool const ca = padded.compare( 13, 3, "CA " ) == 0;
		std::string const id = padded.substr( 22, 5 );
		if ( first || id != residue ) ++counts.residues;
		if ( first || n != number ) {
			if ( first || hasCA ) {
				// The reader closes the open residue (it has a CA) and begins one here.
				open = 1;
				hasCA = ca;
			} else {
				// Read on into the CA-less residue; this line is dropped, its CA too.
				++open;
			}
			number = n;
		} else {
			if ( id != residue ) ++open; // another insertion code of the same number
			hasCA = hasCA || ca;
		}
		residue = id;
		first = false;
	}
	counts.leftOut = first || hasCA ? 0 : open;
	return counts;
}

// Reads the model and checks it has something to fit.
bool load_model( std::string const& modelPath, ModelParts& parts )
{
	if ( !checkfile( modelPath ) ) {
		std::cout << "Error! Cannot read the model file " << modelPath << std::endl;
		return false;
	}
	Protein protein( modelPath, false );
	if ( protein.residues.empty() ) {
		std::cout << "Error! No residues read from the model file " << modelPath
		          << ( mmcif_file( modelPath ) ? ": " + mmcif_reason() : std::string() ) << std::endl;
		return false;
	}
	extract_model( protein, parts );
	if ( parts.nCA == 0 ) {
		std::cout << "Error! No residue of the model file " << modelPath << " has a CA atom." << std::endl;
		return false;
	}
	// Both lines count the file's residues, the residues fitted and those
	// left out together making up the first chain: the reader keeps the
	// CA-less residues at the end of the chain as one residue of its own.
	ChainResidues const counts = first_chain_residues( modelPath );
	if ( counts.leftOut > 0 )
		std::cout << "Warning! " << counts.leftOut << " residues without a CA atom are left out of the fit." << std::endl;
	if ( parts.firstChain < parts.m ) {
		std::cout << "Placer> Note: only the " << parts.firstChain << " atoms of the first chain of " << modelPath
		          << " (" << ( counts.residues - counts.leftOut ) << " residues) are fitted; the other "
		          << ( parts.m - parts.firstChain ) << " atom lines after it are moved with them as one rigid body."
		          << std::endl;
	}
	return true;
}

// The pose search shared by the roads.  pool (when given) receives copies of
// every refined start pose besides the kept results.
bool search_poses( FastDensityScore const& map, ModelParts& parts, std::string const& selection,
	std::string const& name, std::string const& dir, bool quiet, int nm, double centre[3],
	std::vector<std::pair<double, double*> >& results, std::vector<std::pair<double, double*> >* pool = nullptr )
{
	translate_to_densCenter( parts.heavy, const_cast<double*>( map.densCenter ) );
	double* c = getCenterPoint( parts.heavy, parts.names, selection );
	for ( int r = 0; r < 3; ++r ) centre[r] = c[r];
	delete[] c;
	Placer placer( parts.nCA, centre, parts.heavy, parts.names, map, selection, name, dir, true, quiet );
	int generation = 0;
	bool const ok = placer.run( results, centre, nm, generation );
	if ( ok && pool ) {
		for ( auto const& r : placer.refined_poses() ) {
			double* x = new double[6];
			std::copy( r.second, r.second + 6, x );
			pool->push_back( std::make_pair( r.first, x ) );
		}
	}
	placer.memory_release();
	return ok;
}

// The result files of a run, removed when the run is left by an exception
// before `done` (memory that ran out while the files were written).
struct WrittenUnlessDone {
	std::vector<std::string> paths;
	bool done = false;
	~WrittenUnlessDone()
	{
		if ( !done )
			for ( std::string const& p : paths ) ::unlink( p.c_str() );
	}
};

double ca_rmsd( double** a, double** b, int n )
{
	double s = 0.0;
	for ( int i = 0; i < n; ++i )
		for ( int r = 0; r < 3; ++r ) s += ( a[i][r] - b[i][r] ) * ( a[i][r] - b[i][r] );
	return n > 0 ? std::sqrt( s / n ) : 0.0;
}

} // namespace

int FitModelIntoDensity( std::string mapPath, std::string modelPath, double resolution, double nm,
	double gridWidth, double threshold, bool quiet, bool report, std::string selection )
{
	std::clock_t const t0 = std::clock();
	utility::MemoryStep step( "checking the inputs" );
	std::string name, dir;
	name_and_dir( modelPath, name, dir );

	if ( !usable_pose_count( nm ) ) return FIT_BAD_POSE_COUNT;
	// Check the inputs and the output directory before any work, so that a
	// bad path fails at once and never after a whole search.
	if ( !checkfile( modelPath ) ) {
		std::cout << "Error! Cannot read the model file " << modelPath << std::endl;
		return FIT_NO_MODEL;
	}
	if ( !checkfile( mapPath ) ) {
		std::cout << "Error! Cannot read the density map " << mapPath << std::endl;
		return FIT_NO_MAP;
	}
	if ( !model_lines_usable( modelPath ) ) return FIT_NO_MODEL;
	if ( !directory_writable( dir ) ) return FIT_WRITE_FAILED;
	if ( !outputs_spare_inputs( dir, name, (size_t)nm, mapPath, modelPath ) ) return FIT_WRITE_FAILED;

	step.now( "loading the map" );
	FastDensityScore map;
	if ( !map.readDensityMap( mapPath, resolution, gridWidth, threshold, quiet ) || !map.isLoaded ) {
		utility::throw_if_memory_ran_out(); // no room for the map: the memory line ends the run
		std::cout << "Error! The density map " << mapPath << " could not be loaded; no model written." << std::endl;
		return FIT_NO_MAP;
	}
	if ( !map_has_density( map, mapPath, threshold ) ) return FIT_NO_MAP;
	// The search scores with the fast density score: its set-up on the map's
	// whole grid must fit in memory before any pose is tried.
	step.now( "preparing the fast density score of the map" );
	if ( !map.ensureFastCache() ) {
		utility::throw_if_memory_ran_out(); // no room for it: the memory line ends the run
		std::cout << "Error! The density map " << mapPath << " cannot be scored; no model written." << std::endl;
		return FIT_NO_MAP;
	}

	std::cout << "Placer> Fit '" << name << "' into the density map" << std::endl;

	step.now( "reading the model" );
	ModelParts parts;
	if ( !load_model( modelPath, parts ) ) return FIT_NO_MODEL;

	step.now( "searching poses" );
	double centre[3];
	std::vector<std::pair<double, double*> > results, pool;
	if ( !search_poses( map, parts, selection, name, dir, quiet, (int)nm, centre, results, &pool ) ) {
		free_results( results );
		free_results( pool );
		return FIT_BAD_POSE_COUNT;
	}

	step.now( "ranking the poses" );
	// Candidates: the kept poses (best objective first), then every other
	// refined pose that scores anything (objective below 0), by objective.
	// Poses within 1.5 A CA RMSD of an earlier candidate are passed over
	// (refinements often meet in one minimum), and the distinct ones, at most
	// nm + 30, are ranked by real-space correlation, so that a pose the
	// objective placed below the kept ones can still win.  Should fewer
	// distinct poses than nm remain, fewer files are written: neither copies
	// of a pose nor poses that were not searched fill the list up.
	std::stable_sort( pool.begin(), pool.end(),
		[]( std::pair<double, double*> const& a, std::pair<double, double*> const& b ) { return a.first < b.first; } );
	std::vector<double*> poses;
	for ( auto const& r : results ) poses.push_back( r.second );
	for ( auto const& r : pool )
		if ( r.first < 0.0 ) poses.push_back( r.second );
	size_t const wanted = (size_t)nm;
	size_t const cap = wanted + 30;
	std::vector<double**> cand_ca;
	for ( size_t j = 0; j < poses.size() && cand_ca.size() < cap; ++j ) {
		std::vector<std::vector<double*> > moved = Rotation_translation_euler( parts.heavy, poses[j], centre );
		double** ca = moved_ca( moved, parts.names );
		releaseVecVecT1D( moved );
		bool distinct = true;
		for ( double** other : cand_ca )
			if ( ca_rmsd( ca, other, parts.nCA ) < 1.5 ) {
				distinct = false;
				break;
			}
		if ( distinct ) cand_ca.push_back( ca );
		else release2DArr( parts.nCA, ca );
	}
	size_t const C = cand_ca.size();
	std::vector<double> rscc( C, 0.0 ), negated( C, 0.0 );
	for ( size_t j = 0; j < C; ++j ) {
		rscc[j] = map.getRSCC( cand_ca[j], parts.nCA, 4.0 );
		negated[j] = -rscc[j];
	}
	// A pose whose correlation with the map is not above 0 does not lie in
	// the density (the fast score can still see overlap where the map is
	// too coarse or too small to hold the model): it is no fit and is not
	// written.
	std::vector<int> picked;
	if ( C > 0 ) {
		int* order = quickSortAscendingInd( negated );
		for ( size_t o = 0; o < C && picked.size() < wanted; ++o )
			if ( rscc[order[o]] > 0.0 ) picked.push_back( order[o] );
		delete[] order;
	}
	free_results( results );
	free_results( pool );

	int status = FIT_OK;
	if ( picked.empty() ) {
		std::cout << "Error! No searched pose of the model overlaps the density of " << mapPath
		          << "; no model written." << std::endl;
		status = FIT_NO_POSE;
	}

	step.now( "writing the results" );
	// Every pose is carried to all atoms and checked against the PDB columns
	// before the first file is written, so that a refused pose leaves no
	// partial set of files behind (the move is made again for writing rather
	// than kept, so that memory does not grow with the number of poses).
	for ( size_t k = 0; k < picked.size() && status == FIT_OK; ++k ) {
		double** atoms = rotate_allatom( parts.atoms, parts.ca, cand_ca[picked[k]], parts.nCA, parts.m );
		int row = -1;
		if ( !coordinates_fit_pdb_columns( atoms, parts.m, &row ) ) {
			std::cout << "Error! Pose " << ( k + 1 ) << " moves atom line " << ( row + 1 ) << " of " << modelPath
			          << " to " << atoms[row][0] << " " << atoms[row][1] << " " << atoms[row][2]
			          << ", which does not fit the PDB coordinate columns (-999.999 to 9999.999); no model written."
			          << std::endl;
			status = FIT_WRITE_FAILED;
		}
		release2DArr( parts.m, atoms );
	}
	// Memory that runs out between two files takes the files written so far
	// with it: a run that stops leaves no part of its results.  Poses found
	// after a stream met no memory may come of input cut short: none is
	// written then.
	if ( status == FIT_OK ) utility::throw_if_memory_ran_out();
	WrittenUnlessDone written;
	written.paths.reserve( picked.size() );
	for ( size_t k = 1; k <= picked.size() && status == FIT_OK; ++k ) {
		std::string const name_k = name + "_" + intToString( (int)k );
		std::string path = dir + "/" + name_k + ".pdb";
		double** atoms = rotate_allatom( parts.atoms, parts.ca, cand_ca[picked[k - 1]], parts.nCA, parts.m );
		bool saved = false;
		try {
			saved = SaveModel( modelPath, path, atoms, parts.m );
		} catch ( ... ) {
			release2DArr( parts.m, atoms );
			throw;
		}
		release2DArr( parts.m, atoms );
		if ( !saved ) {
			// A stream that met no memory fails as a write that cannot be done.
			utility::throw_if_memory_ran_out();
			status = FIT_WRITE_FAILED;
			break;
		}
		written.paths.push_back( std::move( path ) ); // into reserved room: cannot fail
		if ( report ) std::cout << "Placer> RSCC of " << name_k << ": " << rscc[picked[k - 1]] << std::endl;
	}
	written.done = true;
	if ( status == FIT_OK && picked.size() < wanted ) {
		std::cout << "Placer> Note: the search found " << picked.size() << " distinct pose"
		          << ( picked.size() == 1 ? "" : "s" ) << "; " << picked.size() << " of the " << wanted
		          << " models asked for written." << std::endl;
	}
	note_older_results( dir, name, written.paths.size(), mapPath, modelPath );
	for ( size_t j = 0; j < C; ++j ) release2DArr( parts.nCA, cand_ca[j] );

	std::cout << "Placer> time: " << ( std::clock() - t0 ) * 1e-6 << std::endl;
	return status;
}

int FitModelIntoDensity( FastDensityScore const& map, std::string modelPath, double nm, bool quiet, bool report )
{
	std::clock_t const t0 = std::clock();
	std::string name, dir;
	name_and_dir( modelPath, name, dir );
	if ( !usable_pose_count( nm ) ) return FIT_BAD_POSE_COUNT;
	if ( !map.isLoaded ) {
		std::cout << "Error! No density map is loaded; no model written." << std::endl;
		return FIT_NO_MAP;
	}
	if ( !checkfile( modelPath ) ) {
		std::cout << "Error! Cannot read the model file " << modelPath << std::endl;
		return FIT_NO_MODEL;
	}
	if ( !model_lines_usable( modelPath ) ) return FIT_NO_MODEL;
	if ( !directory_writable( dir ) ) return FIT_WRITE_FAILED;
	std::cout << "Placer> Fit '" << name << "' into the density map" << std::endl;
	ModelParts parts;
	if ( !load_model( modelPath, parts ) ) return FIT_NO_MODEL;

	double centre[3];
	std::vector<std::pair<double, double*> > results;
	if ( !search_poses( map, parts, "CA", name, dir, quiet, (int)nm, centre, results ) ) {
		free_results( results );
		return FIT_BAD_POSE_COUNT;
	}
	FastDensityScore scorer( map );
	int status = FIT_OK;
	if ( results.empty() ) {
		std::cout << "Error! No searched pose of the model overlaps the density; no model written." << std::endl;
		status = FIT_NO_POSE;
	}
	size_t written = 0;
	for ( size_t k = 0; k < results.size() && status == FIT_OK; ++k ) {
		std::vector<std::vector<double*> > moved = Rotation_translation_euler( parts.heavy, results[k].second, centre );
		double** newCA = moved_ca( moved, parts.names );
		double** atoms = rotate_allatom( parts.atoms, parts.ca, newCA, parts.nCA, parts.m );
		std::string const path = dir + "/" + name + "_" + intToString( (int)k + 1 ) + ".pdb";
		if ( !SaveModel( modelPath, path, atoms, parts.m ) ) status = FIT_WRITE_FAILED;
		else written = k + 1;
		if ( status == FIT_OK && report )
			std::cout << "Placer> RSCC = " << scorer.getRSCC( newCA, parts.nCA, 4.0 ) << std::endl;
		release2DArr( parts.m, atoms );
		release2DArr( parts.nCA, newCA );
		releaseVecVecT1D( moved );
	}
	if ( status == FIT_OK && results.size() < (size_t)nm ) {
		std::cout << "Placer> Note: " << results.size() << " of the " << (size_t)nm << " models asked for written."
		          << std::endl;
	}
	note_older_results( dir, name, written, "", modelPath );
	free_results( results );
	std::cout << "Placer> time: " << ( std::clock() - t0 ) * 1e-6 << std::endl;
	return status;
}

int FitModelIntoDensity( FastDensityScore const& map, double** ca, double** atoms, double*** caOut,
	double*** atomsOut, std::vector<std::vector<double*> >& model, std::vector<std::vector<std::string> > const& names,
	int n, int m, double nm, bool quiet )
{
	std::cout << "Placer> --------- Fit model into map ----------" << std::endl;
	if ( !usable_pose_count( nm ) ) return FIT_BAD_POSE_COUNT;
	if ( !map.isLoaded ) {
		std::cout << "Error! No density map is loaded." << std::endl;
		return FIT_NO_MAP;
	}
	if ( n < 1 || (int)model.size() != n || (int)names.size() != n ) {
		std::cout << "Error! The model to fit has no residues." << std::endl;
		return FIT_NO_MODEL;
	}
	translate_to_densCenter( model, const_cast<double*>( map.densCenter ) );
	double* c = getCenterPoint( model, names, "CA" );
	double centre[3] = { c[0], c[1], c[2] };
	delete[] c;
	std::vector<std::pair<double, double*> > results;
	Placer placer( n, centre, model, names, map, "CA", "spi", "./", true, quiet );
	int generation = 0;
	placer.run( results, centre, (int)nm, generation );
	FastDensityScore scorer( map );
	for ( size_t k = 0; k < results.size(); ++k ) {
		std::vector<std::vector<double*> > moved = Rotation_translation_euler( model, results[k].second, centre );
		double** newCA = moved_ca( moved, names );
		double** moved_all = rotate_allatom( atoms, ca, newCA, n, m );
		for ( int i = 0; i < n; ++i )
			for ( int r = 0; r < 3; ++r ) caOut[k][i][r] = newCA[i][r];
		for ( int i = 0; i < m; ++i )
			for ( int r = 0; r < 3; ++r ) atomsOut[k][i][r] = moved_all[i][r];
		std::cout << "Placer> RSCC = " << scorer.getRSCC( newCA, n, 4.0 ) << std::endl;
		release2DArr( m, moved_all );
		release2DArr( n, newCA );
		releaseVecVecT1D( moved );
	}
	placer.memory_release();
	free_results( results );
	return FIT_OK;
}
