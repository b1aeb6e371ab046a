#include "apps/quilter/ScoreReports.hh"

#include "apps/quilter/ChainSplitting.hh"
#include "apps/quilter/NucleicAcidMask.hh"
#include "apps/quilter/StringListHelpers.hh"
#include "core/Protein.hh"
#include "core/basic_fun_Quilt.hh"
#include "transforms/TextFormat.hh"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <numeric>
#include <sstream>

namespace {

// A score that is not a number is no fit at all.
double non_negative( double v ) { return ( v > 0.0 ) ? v : 0.0; }

// The four scores of a report line, "%10.2f" each, separated by ",".
std::string score_fields( double cc, double fsc, double mp, double tm )
{
	return formatted( "%10.2f,%10.2f,%10.2f,%10.2f", cc, fsc, mp, tm );
}

std::string per_residue_line( std::vector< double > const& values )
{
	std::string line;
	for ( double v : values ) line += formatted( "%10.2f,", v );
	return line;
}

} // namespace

double estimated_TMscore( double cc, double fsc )
{
	double tm = 0.5 * ( 0.87 * std::pow( cc, 0.95 ) + 0.7 * std::pow( fsc + 0.33, 2.2 ) + 0.24 );
	if ( tm < 0.0 ) tm = 0.16;
	if ( tm > 1.0 ) tm = 0.99;
	return tm;
}

void ReportFinal_score( std::string modelPath, FastDensityScore map, double& cc, double& fsc, double& tm,
	std::vector< double >& perResidue, bool multiChain )
{
	Protein model( modelPath, multiChain );
	int const n = static_cast< int >( model.residues.size() );
	if ( n == 0 ) {
		std::cout << "Warning! The model " << modelPath << " holds no residue; its scores are 0." << std::endl;
		cc = fsc = tm = 0.0;
		return;
	}
	double** ca = new2DArr( n, 3 );
	FastDensityScore::Model heavy( n );
	FastDensityScore::AtomNames names( n );
	for ( int i = 0; i < n; ++i ) {
		double* p = model.getIthResidueCAXYZ( i );
		for ( int c = 0; c < 3; ++c ) ca[ i ][ c ] = p[ c ];
		delete[] p;
		model.getIthResidueHeavyAtomXYZ( i, heavy[ i ], names[ i ] );
	}
	double const rawCC = map.getRSCC( ca, n, 4.0 ), rawFSC = map.ReportFSC( heavy, names, 5.0 );
	if ( std::isnan( rawCC ) || std::isnan( rawFSC ) ) {
		std::cout << "Warning! The fit of " << modelPath << " to the map is not a number; it is scored as 0." << std::endl;
	}
	cc = non_negative( rawCC );
	fsc = non_negative( rawFSC );
	tm = estimated_TMscore( cc, fsc );
	for ( int i = 0; i < n; ++i ) perResidue.push_back( map.getRSCC_Res( i, heavy, names ) );
	releaseVecVecT1D( heavy );
	release2DArr( n, ca );
}

double molprobity_score( std::string const& modelPath, bool echoScore, bool& available )
{
	// The fourth field of the tool's "MolProbity score" line.  The script is
	// handed to bash as one single-quoted word, so no character of the path
	// reaches the outer shell.
	std::string const script = "source \"$PHENIX/phenix_env.sh\" >/dev/null 2>&1 && phenix.molprobity " +
	                           shell_quote( modelPath ) + " | grep 'MolProbity score' | awk '{print $4}'";
	std::string const command = "bash -c " + shell_quote( script ) + " 2>/dev/null";
	std::fflush( stdout );
	FILE* pipe = ::popen( command.c_str(), "r" );
	char line[ 80 ] = { 0 };
	available = pipe && std::fgets( line, sizeof line, pipe ) != nullptr;
	if ( pipe ) ::pclose( pipe );
	if ( !available ) return 0.0;
	double const score = std::strtod( line, nullptr );
	if ( echoScore ) {
		std::cout << "finialbuffer:" << line << std::endl;
		std::cout << "finialMolProbity-score:" << score << std::endl;
	}
	return score;
}

void Report_model( std::string modelPath, std::string outDir, FastDensityScore map, std::string molprobityModel,
	bool molprobity, bool multiChain )
{
	std::string const scorePath = outDir + "/score.txt", ccPath = outDir + "/CC_score.txt";
	std::ofstream score( scorePath.c_str() ), ccOut( ccPath.c_str() );
	if ( !score || !ccOut ) {
		std::cout << "Error! Cannot write the score reports " << scorePath << " and " << ccPath << std::endl;
		return;
	}
	score << "CC-score,FSC-score,Molprobity-score,Estimated_TM-score\n";

	std::vector< std::string > chainPaths, keys;
	Split_PDB_chains( modelPath, multiChain, chainPaths, keys, outDir );
	// Each chain once, in key order; chains that share a key keep their file
	// order (a sort by first occurrence would report the first of them twice
	// and never the others, and leave their files behind).
	std::vector< std::size_t > order( chainPaths.size() );
	std::iota( order.begin(), order.end(), 0 );
	std::stable_sort( order.begin(), order.end(),
		[ &keys ]( std::size_t a, std::size_t b ) { return stringCompare( keys[ a ], keys[ b ] ); } );

	double cc = 0.0, fsc = 0.0, tm = 0.0;
	std::vector< double > perResidue;
	ReportFinal_score( modelPath, map, cc, fsc, tm, perResidue, multiChain );
	bool mpMissing = false;
	auto mpScore = [ & ]( std::string const& path, bool echo ) {
		bool available = false;
		double const v = molprobity_score( path, echo, available );
		mpMissing = mpMissing || !available;
		return v;
	};
	double const mp = molprobity ? mpScore( molprobityModel, true ) : 0.0;
	score << "Full," << score_fields( cc, fsc, mp, tm ) << "\n";
	ccOut << per_residue_line( perResidue ) << "\n";

	for ( std::size_t k : order ) {
		std::vector< double > chainResidues;
		ReportFinal_score( chainPaths[ k ], map, cc, fsc, tm, chainResidues, multiChain );
		double const chainMp = molprobity ? mpScore( chainPaths[ k ], false ) : 0.0;
		score << trim( keys[ k ] ) << "," << score_fields( cc, fsc, chainMp, tm ) << "\n";
		ccOut << per_residue_line( chainResidues ) << "\n";
		deletefile( chainPaths[ k ] );
	}
	if ( mpMissing ) {
		std::cout << "Warning! The Phenix MolProbity tool (PHENIX/phenix_env.sh) gave no score; 0.00 is reported"
		          << " where it gave none." << std::endl;
	}
	score.close();
	ccOut.close();
	if ( !score || !ccOut ) std::cout << "Error! Cannot write the score reports " << scorePath << " and " << ccPath << std::endl;
}

void convert_EM_score( std::string tablePath, int L )
{
	std::ifstream in( tablePath.c_str() );
	if ( !in ) {
		std::cout << "Error! Cannot read the confidence table " << tablePath << std::endl;
		return;
	}
	std::vector< double > cscores;
	std::string line;
	std::getline( in, line ); // header
	while ( std::getline( in, line ) ) {
		if ( line.empty() ) continue;
		line.erase( std::remove( line.begin(), line.end(), ',' ), line.end() );
		std::istringstream words( line );
		std::string w[ 3 ];
		words >> w[ 0 ] >> w[ 1 ] >> w[ 2 ];
		std::cout << w[ 0 ] << " " << w[ 1 ] << " " << w[ 2 ] << std::endl;
		cscores.push_back( std::strtod( w[ 0 ].c_str(), nullptr ) );
	}
	in.close();

	bool const lengthUsable = L >= 1;
	if ( !lengthUsable ) {
		std::cout << "Error! The sequence length " << L << " of " << tablePath
		          << " has no logarithm; TM-score and RMSD are not estimated." << std::endl;
	}
	std::vector< std::string > out = { "Cscore,Estimated_TM-score,Estimated_RMSD" };
	for ( std::size_t k = 0; k < cscores.size(); ++k ) {
		double const c = cscores[ k ];
		if ( k > 0 || !lengthUsable ) {
			out.push_back( formatted( "%6.2f, NA, NA", c ) );
			continue;
		}
		double const x = c - std::log( static_cast< double >( L ) );
		double const rmsd = std::max( 0.087242976 * x * x - 1.142989 * x - 3.166558, 0.5 );
		double e = 4.64310837 * std::exp( -0.0731655578316629 * ( x + 7.35450888 ) * ( x + 7.35450888 ) );
		if ( e > rmsd ) e = rmsd - 0.1 - 0.7 * ran1();
		double tm = ( 0.0060302098 * c + 0.1309239 ) * c + 0.7132791;
		tm = std::max( std::min( tm, 0.99 ), 0.25 );
		double const tmErr = std::fabs( 0.149197936 * std::exp( -0.09308426453978307 * ( c + 1.68643093 ) * ( c + 1.68643093 ) ) );
		out.push_back( formatted( "%6.2f, %4.2f+-%4.2f, %4.1f+-%3.1f", c, tm, tmErr, rmsd, std::fabs( e ) ) );
	}
	if ( !writeLinesReplacing( tablePath, out ) ) std::cout << "Error! Cannot rewrite the confidence table " << tablePath << std::endl;
}

void getSequence( std::string outDir, std::string& fastaPath, std::vector< std::string > chainFiles,
	std::vector< std::vector< int > >& positions, int** table, int* perChain, std::vector< std::string >& filesCopy )
{
	fastaPath = outDir + "/protein.fasta";
	std::string text = ">query protein\n";
	int counter = 1;
	for ( std::string const& file : chainFiles ) {
		Protein chain( file, false );
		std::vector< int > pos;
		for ( Residue const& r : chain.residues ) {
			std::string const& first = r.atomLines.empty() ? std::string() : r.atomLines[ 0 ];
			text += threeWordToOne( first.size() > 17 ? first.substr( 17, 3 ) : std::string() );
			pos.push_back( counter++ );
		}
		positions.push_back( pos );
	}
	std::ofstream out( fastaPath.c_str(), std::ios::binary );
	out << text;
	out.close();
	if ( !out ) std::cout << "Error! Cannot write the sequence file " << fastaPath << std::endl;
	for ( std::size_t c = 0; c < chainFiles.size(); ++c ) {
		table[ c ][ 0 ] = 0;
		table[ c ][ 1 ] = 0;
		perChain[ c ] = 0;
	}
	filesCopy = chainFiles;
}

std::string dssp_state( char letter )
{
	switch ( letter ) {
	case ' ':
	case 'S':
	case 'T':
	case 'C': return "C";
	case 'B':
	case 'E': return "E";
	default: return "H";
	}
}

std::vector< std::string > getSS( std::string toolDir, std::string workDir, std::string modelName )
{
	std::cout << "Calculate the secondary structure by DSSP..." << std::endl;
	std::string const modelPath = workDir + "/" + modelName;
	std::string const dsspPath = workDir + "/ss.dssp";
	if ( !checkfile( dsspPath ) ) {
		changedir( workDir );
		std::string const command = shell_quote( toolDir + "/bin/dssp" ) + " " + shell_quote( modelPath ) + " " +
		                            shell_quote( dsspPath ) + " >/dev/null 2>&1";
		std::fflush( stdout );
		int const rc = std::system( command.c_str() );
		(void)rc; // only the file DSSP leaves counts
	}
	std::vector< std::string > states;
	std::ifstream in( dsspPath.c_str() );
	if ( !in ) {
		std::cout << "Warning! DSSP (" << toolDir << "/bin/dssp) left no secondary structure for " << modelPath
		          << "; none is reported." << std::endl;
		return states;
	}
	std::string line;
	bool header = false;
	while ( std::getline( in, line ) ) {
		if ( !header ) {
			header = line.size() > 2 && line[ 2 ] == '#';
			continue;
		}
		// Columns 6-10 blank: a chain break.  Lines too short to hold the
		// structure letter (column 17) are no residue records.
		if ( line.size() >= 10 && line.compare( 5, 5, "     " ) == 0 ) continue;
		if ( line.size() < 17 ) continue;
		states.push_back( dssp_state( line[ 16 ] ) );
	}
	in.close();
	deletefile( dsspPath );
	return states;
}

std::vector< double > get_Zscore( std::vector< double > values )
{
	std::size_t const n = values.size();
	if ( n <= 1 ) return values;
	double sum = 0.0, sumSq = 0.0;
	for ( double v : values ) {
		sum += v;
		sumSq += v * v;
	}
	double const mean = sum / n;
	double const var = sumSq / n - mean * mean;
	bool const allEqual = std::all_of( values.begin(), values.end(), [ &values ]( double v ) { return v == values[ 0 ]; } );
	if ( allEqual || !( var > 0.0 ) || !std::isfinite( var ) ) {
		std::cout << "Warning! The " << n << " values have no spread; their z-scores are 0." << std::endl;
		return std::vector< double >( n, 0.0 );
	}
	double const inv = 1.0 / std::sqrt( var );
	for ( double& v : values ) v = ( v - mean ) * inv;
	return values;
}

void ArrangeModel( std::string path )
{
	if ( !checkfile( path ) ) {
		std::cout << "Error! Cannot read the model file " << path << "; it is left as it is." << std::endl;
		return;
	}
	Protein model( path, true );
	if ( model.residues.empty() ) {
		std::cout << "Error! The model file " << path << " holds no residue; it is left as it is." << std::endl;
		return;
	}
	std::vector< std::string > keys;
	for ( Residue const& r : model.residues ) {
		std::string const& first = r.atomLines.empty() ? std::string() : r.atomLines[ 0 ];
		keys.push_back( trim( first.size() > 20 ? first.substr( 20, 2 ) : std::string() ) );
	}
	std::vector< std::string > lines;
	for ( std::string const& chain : getChainType( keys ) ) {
		std::vector< int > members, numbers;
		for ( std::size_t i = 0; i < keys.size(); ++i ) {
			if ( keys[ i ] != chain ) continue;
			members.push_back( static_cast< int >( i ) );
			numbers.push_back( model.residues[ i ].resNum );
		}
		int* order = quickSortAscendingInd( numbers );
		for ( std::size_t k = 0; k < members.size(); ++k ) {
			Residue const& r = model.residues[ members[ order[ k ] ] ];
			lines.insert( lines.end(), r.atomLines.begin(), r.atomLines.end() );
		}
		delete[] order;
		lines.push_back( "TER" );
	}
	if ( !writeLinesReplacing( path, lines ) ) std::cout << "Error! Cannot rewrite the model file " << path << std::endl;
}

int* quickSortAscendingInd( std::vector< std::string > values )
{
	std::vector< std::string > sorted = values;
	std::sort( sorted.begin(), sorted.end(), stringCompare );
	int* out = new int[ sorted.size() > 0 ? sorted.size() : 1 ];
	for ( std::size_t k = 0; k < sorted.size(); ++k ) {
		out[ k ] = static_cast< int >( std::find( values.begin(), values.end(), sorted[ k ] ) - values.begin() );
	}
	return out;
}
