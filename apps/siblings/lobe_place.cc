#include "apps/siblings/lobe_place.hh"

#include "apps/siblings/domain_refine.hh"
#include "apps/siblings/rasterseek_search.hh"

#include <algorithm>
#include <cmath>
#include <ostream>

namespace siblings {

namespace {

double distance( Vec3 const& a, Vec3 const& b )
{
	return std::sqrt( ( a[0] - b[0] ) * ( a[0] - b[0] ) + ( a[1] - b[1] ) * ( a[1] - b[1] ) + ( a[2] - b[2] ) * ( a[2] - b[2] ) );
}

std::vector<DomainCandidate> fft_candidates( FastDensityScore const& map, ChainModel const& model,
	std::vector<int> const& rows, LobePlaceOptions const& options, std::string& error )
{
	std::vector<poseCoord> atoms;
	for ( int r : rows ) {
		poseCoord p;
		p.x = model.xyz[r][0];
		p.y = model.xyz[r][1];
		p.z = model.xyz[r][2];
		p.elt = model.names[r];
		atoms.push_back( p );
	}
	rasterseek::SearchOptions so;
	so.resolution = options.resolution;
	so.angleStep = options.angleStep;
	so.count = options.perDomain;
	so.threads = options.threads;
	so.log = nullptr;
	std::vector<rasterseek::Placement> const found = rasterseek::search_placements( map, atoms, so, error );
	std::vector<DomainCandidate> out;
	for ( auto const& f : found ) {
		DomainCandidate c;
		for ( int i = 0; i < 3; ++i ) {
			for ( int j = 0; j < 3; ++j ) c.move.R[i][j] = f.u[i][j];
			c.move.t[i] = f.t[i];
		}
		c.score = f.score;
		out.push_back( c );
	}
	return out;
}

} // namespace

std::vector<std::vector<int> > combine_domains( ChainModel const& model, std::vector<std::vector<int> > const& domains,
	std::vector<std::vector<DomainCandidate> > const& candidates, int keep )
{
	int const D = (int)domains.size();
	std::vector<std::vector<int> > best;
	if ( D == 0 ) return best;
	for ( auto const& c : candidates )
		if ( c.empty() ) return best;

	// Domain of every residue, the trace atoms of every domain, and the
	// junctions (consecutive traced residues in different domains).
	std::vector<int> owner( model.residues.size(), -1 );
	std::vector<std::vector<int> > traceOf( D );
	double total = 0.0;
	for ( int d = 0; d < D; ++d ) {
		for ( int r : domains[d] ) {
			owner[r] = d;
			if ( model.trace_atom( r ) >= 0 ) traceOf[d].push_back( model.trace_atom( r ) );
		}
		total += domains[d].size();
	}
	struct Junction {
		int da, db, a, b;
	};
	std::vector<Junction> junctions;
	std::vector<int> traced;
	for ( auto const& dom : domains )
		for ( int r : dom )
			if ( model.trace_atom( r ) >= 0 ) traced.push_back( r );
	std::sort( traced.begin(), traced.end() );
	for ( size_t k = 0; k + 1 < traced.size(); ++k ) {
		int const a = traced[k], b = traced[k + 1];
		if ( owner[a] != owner[b] && b == a + 1 )
			junctions.push_back( { owner[a], owner[b], model.trace_atom( a ), model.trace_atom( b ) } );
	}

	// Penalty of every pair of domain placements (junctions and clashes).
	std::vector<std::vector<std::vector<Vec3> > > moved( D );
	for ( int d = 0; d < D; ++d )
		for ( auto const& c : candidates[d] ) {
			std::vector<Vec3> p;
			for ( int a : traceOf[d] ) p.push_back( moved_point( c.move, model.xyz[a] ) );
			moved[d].push_back( p );
		}
	double const ruledOut = 1e9;
	auto index = [&]( int d, int k ) { return d * 1000 + k; };
	std::vector<std::vector<double> > pair( D * 1000 );
	for ( int di = 0; di < D; ++di )
		for ( int ki = 0; ki < (int)candidates[di].size(); ++ki ) {
			std::vector<double>& row = pair[index( di, ki )];
			row.assign( D * 1000, 0.0 );
			for ( int dj = di + 1; dj < D; ++dj )
				for ( int kj = 0; kj < (int)candidates[dj].size(); ++kj ) {
					double pen = 0.0;
					for ( Junction const& j : junctions ) {
						if ( !( ( j.da == di && j.db == dj ) || ( j.da == dj && j.db == di ) ) ) continue;
						Vec3 const pa = moved_point( candidates[j.da].at( j.da == di ? ki : kj ).move, model.xyz[j.a] );
						Vec3 const pb = moved_point( candidates[j.db].at( j.db == di ? ki : kj ).move, model.xyz[j.b] );
						double const d = distance( pa, pb );
						if ( d > 15.0 ) pen = ruledOut;
						else if ( d > 4.5 ) pen += 0.01 * ( d - 4.5 );
					}
					int clashes = 0;
					for ( Vec3 const& a : moved[di][ki] )
						for ( Vec3 const& b : moved[dj][kj] )
							if ( distance( a, b ) < 3.5 ) ++clashes;
					pen += 0.005 * clashes;
					row[index( dj, kj )] = pen;
				}
		}

	// Every combination, candidate lists cut so that there are at most about
	// 200000 of them.
	int per = 1000;
	while ( per > 1 && std::pow( (double)per, D ) > 200000.0 ) --per;
	std::vector<int> limit( D );
	for ( int d = 0; d < D; ++d ) limit[d] = std::min( per, (int)candidates[d].size() );
	std::vector<std::pair<double, std::vector<int> > > ranked;
	std::vector<int> pick( D, 0 );
	while ( true ) {
		double score = 0.0;
		for ( int d = 0; d < D; ++d ) score += candidates[d][pick[d]].score * domains[d].size() / total;
		for ( int di = 0; di < D && score > -ruledOut / 2; ++di )
			for ( int dj = di + 1; dj < D; ++dj ) score -= pair[index( di, pick[di] )][index( dj, pick[dj] )];
		if ( score > -ruledOut / 2 ) {
			ranked.push_back( std::make_pair( score, pick ) );
			if ( (int)ranked.size() > 4 * keep + 64 ) {
				std::sort( ranked.begin(), ranked.end(),
					[]( auto const& a, auto const& b ) { return a.first > b.first; } );
				ranked.resize( keep );
			}
		}
		int d = 0;
		while ( d < D && ++pick[d] >= limit[d] ) pick[d++] = 0;
		if ( d == D ) break;
	}
	std::stable_sort( ranked.begin(), ranked.end(), []( auto const& a, auto const& b ) { return a.first > b.first; } );
	for ( auto const& r : ranked )
		if ( (int)best.size() < keep ) best.push_back( r.second );
	return best;
}

bool place_by_domains( FastDensityScore& map, ChainModel const& model, LobePlaceOptions const& options, int count,
	std::vector<ChainPlacement>& out, std::string& error )
{
	out.clear();
	std::vector<std::vector<int> > const domains = chain_domains( model, 0, options.domains );
	if ( domains.empty() ) {
		error = "the first chain has no CA or P atom";
		return false;
	}
	std::vector<int> const chainResidues = model.chains[0].residues;
	std::vector<int> const trace = trace_rows( model, chainResidues );
	std::vector<int> all( model.xyz.size() );
	for ( size_t i = 0; i < all.size(); ++i ) all[i] = (int)i;
	if ( options.log )
		*options.log << "Lobeplace> " << chainResidues.size() << " residues in " << domains.size() << " domain(s)"
		             << std::endl;

	// The rigid chain: placed by the search as one body when it is one
	// domain, else moved with each placement found for one of its domains.
	std::vector<ChainPlacement> pool;
	auto add_rigid = [&]( std::vector<DomainCandidate> const& found ) {
		for ( auto const& c : found ) {
			ChainPlacement p;
			p.xyz = moved_rows( model.xyz, all, c.move );
			p.correlation = trace_correlation( map, p.xyz, trace );
			pool.push_back( p );
		}
	};
	if ( domains.size() == 1 ) {
		std::vector<DomainCandidate> const whole = fft_candidates( map, model, residue_rows( model, chainResidues ), options, error );
		if ( whole.empty() ) return false;
		add_rigid( whole );
	} else {
		// Each domain on its own, then the best combinations.
		std::vector<std::vector<DomainCandidate> > candidates;
		for ( auto const& d : domains ) {
			std::string why;
			candidates.push_back( fft_candidates( map, model, residue_rows( model, d ), options, why ) );
			if ( options.log )
				*options.log << "Lobeplace> domain of " << d.size() << " residues: " << candidates.back().size()
				             << " placements" << ( candidates.back().empty() ? " (" + why + ")" : std::string() )
				             << std::endl;
			if ( candidates.back().empty() ) error = why;
			add_rigid( candidates.back() );
		}
		if ( pool.empty() ) return false;
		// Rows outside the chain go with its largest domain.
		size_t largest = 0;
		for ( size_t d = 1; d < domains.size(); ++d )
			if ( domains[d].size() > domains[largest].size() ) largest = d;
		std::vector<char> inChain( model.xyz.size(), 0 );
		for ( int r : residue_rows( model, chainResidues ) ) inChain[r] = 1;
		std::vector<int> others;
		for ( int r : all )
			if ( !inChain[r] ) others.push_back( r );
		for ( auto const& pick : combine_domains( model, domains, candidates, 10 ) ) {
			ChainPlacement p;
			p.xyz = model.xyz;
			for ( size_t d = 0; d < domains.size(); ++d ) {
				Rigid const& m = candidates[d][pick[d]].move;
				for ( int r : residue_rows( model, domains[d] ) ) p.xyz[r] = moved_point( m, model.xyz[r] );
			}
			for ( int r : others ) p.xyz[r] = moved_point( candidates[largest][pick[largest]].move, model.xyz[r] );
			p.correlation = trace_correlation( map, p.xyz, trace );
			p.domains = (int)domains.size();
			pool.push_back( p );
		}
	}

	// Refine the most promising models as a chain and its domains.
	std::stable_sort( pool.begin(), pool.end(),
		[]( ChainPlacement const& a, ChainPlacement const& b ) { return a.correlation > b.correlation; } );
	if ( pool.size() > (size_t)std::max( 3, count ) ) pool.resize( std::max( 3, count ) );
	ChainModel single = model;
	single.chains.resize( 1 );
	std::vector<Body> const bodies = chain_and_domain_bodies( single, options.domains );
	for ( ChainPlacement& p : pool ) {
		RefineOutcome const r = refine_bodies( map, single, p.xyz, bodies, options.rounds );
		p.xyz = r.xyz;
		p.correlation = r.after;
	}
	std::stable_sort( pool.begin(), pool.end(),
		[]( ChainPlacement const& a, ChainPlacement const& b ) { return a.correlation > b.correlation; } );
	for ( ChainPlacement const& p : pool ) {
		bool near = false;
		for ( ChainPlacement const& o : out )
			if ( rows_rmsd( p.xyz, o.xyz, trace ) < 1.5 ) near = true;
		if ( !near && (int)out.size() < count ) out.push_back( p );
	}
	while ( (int)out.size() < count ) out.push_back( out.front() );
	if ( options.log )
		*options.log << "Lobeplace> best model: correlation " << out.front().correlation << ", "
		             << ( out.front().domains > 1 ? "domains placed apart" : "placed as one rigid chain" ) << std::endl;
	return true;
}

} // namespace siblings
