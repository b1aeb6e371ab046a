#include "apps/siblings/domain_refine.hh"

#include "apps/siblings/rigid_fit.hh"

#include <algorithm>
#include <cmath>

namespace siblings {

namespace {

double distance( Vec3 const& a, Vec3 const& b )
{
	return std::sqrt( ( a[0] - b[0] ) * ( a[0] - b[0] ) + ( a[1] - b[1] ) * ( a[1] - b[1] ) + ( a[2] - b[2] ) * ( a[2] - b[2] ) );
}

std::vector<char> membership( ChainModel const& model, Body const& body )
{
	std::vector<char> in( model.residues.size(), 0 );
	for ( int r : body.residues ) in[r] = 1;
	return in;
}

// A move keeps the chain joined when no junction opens beyond the larger of
// 4.5 A (a stretched peptide) and its old length plus 0.5 A (chain breaks).
bool joined( std::vector<double> const& before, std::vector<double> const& after )
{
	for ( size_t k = 0; k < before.size() && k < after.size(); ++k )
		if ( after[k] > std::max( 4.5, before[k] + 0.5 ) ) return false;
	return true;
}

} // namespace

std::vector<Body> chain_and_domain_bodies( ChainModel const& model, DomainSplitSettings const& settings )
{
	std::vector<Body> chains, domains;
	for ( size_t c = 0; c < model.chains.size(); ++c ) {
		if ( model.traced_residues( (int)c ).empty() ) continue;
		Body whole;
		whole.chain = (int)c;
		whole.residues = model.chains[c].residues;
		chains.push_back( whole );
		std::vector<std::vector<int> > const parts = chain_domains( model, (int)c, settings );
		if ( parts.size() < 2 ) continue;
		for ( auto const& p : parts ) {
			Body d;
			d.chain = (int)c;
			d.residues = p;
			domains.push_back( d );
		}
	}
	chains.insert( chains.end(), domains.begin(), domains.end() );
	return chains;
}

std::vector<double> junction_distances( ChainModel const& model, std::vector<Vec3> const& xyz, Body const& body )
{
	std::vector<char> const in = membership( model, body );
	std::vector<double> out;
	std::vector<int> const traced = model.traced_residues( body.chain );
	for ( size_t k = 0; k + 1 < traced.size(); ++k ) {
		int const a = traced[k], b = traced[k + 1];
		if ( in[a] == in[b] ) continue;
		out.push_back( distance( xyz[model.trace_atom( a )], xyz[model.trace_atom( b )] ) );
	}
	return out;
}

int clash_count( ChainModel const& model, std::vector<Vec3> const& xyz, Body const& body )
{
	std::vector<char> const in = membership( model, body );
	std::vector<int> inside, outside;
	for ( size_t r = 0; r < model.residues.size(); ++r ) {
		int const a = model.trace_atom( (int)r );
		if ( a >= 0 ) ( in[r] ? inside : outside ).push_back( a );
	}
	int n = 0;
	for ( int a : inside )
		for ( int b : outside )
			if ( distance( xyz[a], xyz[b] ) < 3.0 ) ++n;
	return n;
}

RefineOutcome refine_bodies( FastDensityScore& map, ChainModel const& model, std::vector<Vec3> const& xyz,
	std::vector<Body> const& bodies, int rounds )
{
	RefineOutcome out;
	out.xyz = xyz;
	std::vector<int> const trace = trace_rows( model, model.all_residues() );
	out.before = out.after = trace_correlation( map, xyz, trace );
	for ( int round = 0; round < rounds; ++round ) {
		int const keptBefore = out.movesKept;
		for ( Body const& body : bodies ) {
			std::vector<int> const rows = residue_rows( model, body.residues );
			if ( rows.empty() ) continue;
			RigidBody rb( model, rows, out.xyz );
			Rigid move;
			rb.refine( map, move, RigidBody::TRACE_CORRELATION );
			std::vector<Vec3> const trial = moved_rows( out.xyz, rows, move );
			if ( !joined( junction_distances( model, out.xyz, body ), junction_distances( model, trial, body ) ) )
				continue;
			// A few close pairs may come from neighbours that are themselves
			// still out of place; a body pushed into another shows many.
			int const tolerance = std::max( 2, (int)body.residues.size() / 20 );
			if ( clash_count( model, trial, body ) > clash_count( model, out.xyz, body ) + tolerance ) continue;
			double const score = trace_correlation( map, trial, trace );
			if ( score > out.after + 1e-4 ) {
				out.xyz = trial;
				out.after = score;
				++out.movesKept;
			}
		}
		if ( out.movesKept == keptBefore ) break;
	}
	return out;
}

} // namespace siblings
