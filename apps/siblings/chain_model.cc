#include "apps/siblings/chain_model.hh"

#include "core/basic_fun_Quilt.hh"
#include "transforms/ModelOutput.hh"

#include <cstdlib>
#include <fstream>

namespace siblings {

namespace {

std::string field( std::string const& line, size_t at, size_t len )
{
	return line.size() > at ? line.substr( at, len ) : std::string();
}

} // namespace

int ChainModel::trace_atom( int residue ) const
{
	ModelResidue const& r = residues[residue];
	return r.ca >= 0 ? r.ca : r.p;
}

std::vector<int> ChainModel::traced_residues( int c ) const
{
	std::vector<int> out;
	for ( int r : chains[c].residues )
		if ( trace_atom( r ) >= 0 ) out.push_back( r );
	return out;
}

std::vector<int> ChainModel::all_residues() const
{
	std::vector<int> out( residues.size() );
	for ( size_t i = 0; i < out.size(); ++i ) out[i] = (int)i;
	return out;
}

bool read_chain_model( std::string const& path, ChainModel& model, std::string& error )
{
	model = ChainModel();
	model.path = path;
	std::ifstream in( path.c_str(), std::ios::binary );
	if ( !in ) {
		error = "cannot read the model file " + path;
		return false;
	}
	std::string line;
	bool newChain = true;
	while ( std::getline( in, line ) ) {
		if ( !line.empty() && line.back() == '\r' ) line.pop_back();
		if ( line.compare( 0, 3, "TER" ) == 0 ) {
			newChain = true;
			continue;
		}
		if ( !is_model_atom_line( line ) ) continue;
		Vec3 p;
		for ( int c = 0; c < 3; ++c ) p[c] = std::strtod( field( line, 30 + 8 * c, 8 ).c_str(), nullptr );
		int const row = (int)model.xyz.size();
		model.xyz.push_back( p );
		std::string const name = trim( field( line, 12, 4 ) );
		model.names.push_back( name );
		std::string const chain = trim( field( line, 20, 2 ) );
		std::string const key = field( line, 22, 5 );
		int const number = (int)std::strtol( field( line, 22, 4 ).c_str(), nullptr, 10 );
		// A "TER" record inside a chain (deposited files mark chain breaks so)
		// does not start a new chain when the identifier stays and the
		// numbering goes on upwards.
		bool const continues = !model.chains.empty() && model.chains.back().id == chain
		                       && !model.chains.back().residues.empty()
		                       && number > model.residues[model.chains.back().residues.back()].number;
		if ( model.chains.empty() || model.chains.back().id != chain || ( newChain && !continues ) ) {
			model.chains.push_back( ModelChain() );
			model.chains.back().id = chain;
		}
		newChain = false;
		ModelChain& ch = model.chains.back();
		if ( ch.residues.empty() || model.residues[ch.residues.back()].key != key ) {
			ModelResidue r;
			r.chainId = chain;
			r.key = key;
			r.number = number;
			ch.residues.push_back( (int)model.residues.size() );
			model.residues.push_back( r );
		}
		ModelResidue& r = model.residues[ch.residues.back()];
		r.atoms.push_back( row );
		model.rowResidue.push_back( ch.residues.back() );
		if ( name == "CA" && r.ca < 0 ) r.ca = row;
		if ( name == "P" && r.p < 0 ) r.p = row;
	}
	if ( model.xyz.empty() ) {
		error = "no ATOM record in the model file " + path;
		return false;
	}
	return true;
}

std::vector<int> residue_rows( ChainModel const& model, std::vector<int> const& residues )
{
	std::vector<int> rows;
	for ( int r : residues )
		for ( int a : model.residues[r].atoms ) rows.push_back( a );
	return rows;
}

} // namespace siblings
