#include "apps/quilter/FinalModel.hh"

#include "core/basic_fun_Quilt.hh"
#include "core/pdb_atom_records.hh"
#include "transforms/ModelOutput.hh"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iostream>

bool writeAssembledModel( const std::string& path, const std::vector< std::string >& chainFiles )
{
	ReplacingFile out( path );
	if ( !out.file() ) return out.commit( false );
	bool ok = true;
	for ( std::string const& chain : chainFiles ) {
		std::ifstream in( chain, std::ios::binary );
		std::vector< std::string > lines;
		for ( std::string line; in && std::getline( in, line ); ) {
			if ( !line.empty() && line.back() == '\r' ) line.pop_back();
			lines.push_back( line );
		}
		// The chain's atoms: its "ATOM" records and the "HETATM" records of
		// its modified residues.
		PdbLineRoles const roles = pdb_line_roles( lines );
		for ( std::size_t i = 0; i < lines.size(); ++i ) {
			std::string const& line = lines[ i ];
			if ( roles.role[ i ] != PdbLineRole::ChainAtom ) continue;
			ok = ok && std::fwrite( line.data(), 1, line.size(), out.file() ) == line.size();
			ok = ok && std::fputc( '\n', out.file() ) != EOF;
		}
		ok = ok && std::fputs( "TER\n", out.file() ) != EOF;
	}
	return out.commit( ok );
}

double SaveFinalModel( int nModels, std::string outName, std::string outDir,
	std::vector< std::vector< std::string > > fileSets1, std::vector< std::vector< std::string > > fileSets2,
	std::vector< double > rscc1, std::vector< double > rscc2, int& written, std::string* failure,
	std::vector< int >* searches )
{
	written = 0;
	if ( searches ) searches->clear();
	std::size_t const firstCount = fileSets1.size();
	std::vector< std::vector< std::string > > sets = fileSets1;
	sets.insert( sets.end(), fileSets2.begin(), fileSets2.end() );
	std::vector< double > rscc = rscc1;
	rscc.insert( rscc.end(), rscc2.begin(), rscc2.end() );
	std::vector< double > negated;
	for ( double r : rscc ) negated.push_back( -r );
	int* order = quickSortAscendingInd( negated );
	std::cout << "GetInitModel> Sorted RSCC: " << std::endl;

	std::size_t const n = std::min( sets.size(), static_cast< std::size_t >( nModels > 0 ? nModels : 0 ) );
	std::string const prefix = outName.size() >= 4 ? outName.substr( 0, outName.size() - 4 ) : outName;
	double best = 0.0;
	for ( std::size_t m = 1; m <= n; ++m ) {
		int const k = order[ m - 1 ];
		std::string const file = prefix + std::to_string( m ) + ".pdb";
		std::cout << "GetInitModel> " << file << ": " << rscc[ k ] << std::endl;
		if ( !writeAssembledModel( outDir + "/" + file, sets[ k ] ) ) {
			std::string const reason = std::strerror( errno );
			std::cout << "Error! Cannot write the model file " << outDir + "/" + file << ": " << reason << std::endl;
			if ( failure && failure->empty() ) *failure = reason;
			continue;
		}
		++written;
		if ( searches ) searches->push_back( static_cast< std::size_t >( k ) < firstCount ? 1 : 2 );
		best = std::max( best, rscc[ k ] );
	}
	delete[] order;
	return best;
}
