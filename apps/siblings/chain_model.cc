#include "apps/siblings/chain_model.hh"

#include "core/basic_fun_Quilt.hh"
#include "core/model_file_format.hh"
#include "core/pdb_atom_records.hh"
#include "transforms/ModelOutput.hh"

#include <cstdlib>
#include <fstream>
#include <iostream>

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
	std::vector<std::string> lines;
	for ( std::string line; std::getline( in, line ); ) {
		if ( !line.empty() && line.back() == '\r' ) line.pop_back();
		lines.push_back( line );
	}
	if ( in.bad() ) {
		error = "cannot read the model file " + path;
		return false;
	}
	PdbLineRoles const roles = pdb_line_roles( lines );
	bool newChain = true;
	for ( size_t i = 0; i < lines.size(); ++i ) {
		std::string const& line = lines[i];
		if ( i < roles.end && line.compare( 0, 3, "TER" ) == 0 ) {
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
		// Waters, ligands, unreadable lines and later models are rows (they
		// move with the model) but no residues of it.
		if ( roles.role[i] != PdbLineRole::ChainAtom ) {
			model.rowResidue.push_back( -1 );
			continue;
		}
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
	if ( model.residues.empty() ) {
		error = "no atom record of a chain in the model file " + path;
		if ( mmcif_text( lines ) ) error += ": " + mmcif_reason();
		return false;
	}
	warn_unplaced_records( path, roles );
	return true;
}

void warn_unplaced_records( std::string const& path, PdbLineRoles const& roles )
{
	if ( roles.laterModels > 0 )
		std::cout << "Warning! " << path << " holds " << ( roles.laterModels + 1 ) << " models; only the first is"
		          << " placed, the other " << roles.laterModels << " are moved with it." << std::endl;
	if ( !roles.unreadable.empty() )
		std::cout << "Warning! " << roles.unreadable.size() << " lines of " << path << " cannot be read as atom"
		          << " records and are left out of the search (lines " << pdb_line_numbers( roles.unreadable )
		          << ")." << std::endl;
}

std::vector<int> residue_rows( ChainModel const& model, std::vector<int> const& residues )
{
	std::vector<int> rows;
	for ( int r : residues )
		for ( int a : model.residues[r].atoms ) rows.push_back( a );
	return rows;
}

} // namespace siblings
