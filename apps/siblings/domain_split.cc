#include "apps/siblings/domain_split.hh"

#include <algorithm>
#include <cmath>
#include <limits>
#include <sstream>
#include <utility>

namespace siblings {

namespace {

// Contact weight of two trace atoms at squared distance d2.
double contact_weight( double d2 )
{
	if ( d2 <= 49.0 ) return 1.0;
	if ( d2 >= 81.0 ) return 0.0;
	return ( 9.0 - std::sqrt( d2 ) ) * 0.5;
}

} // namespace

double best_bipartition( std::vector<Vec3> const& trace, std::vector<int> const& part,
	DomainSplitSettings const& settings, std::vector<int>& a, std::vector<int>& b )
{
	a.clear();
	b.clear();
	int const m = (int)part.size();
	double const none = std::numeric_limits<double>::max();
	if ( m < 2 * settings.minDomain ) return none;

	// Contacts of each position with the positions before it (ascending).
	std::vector<std::vector<std::pair<int, double> > > lower( m );
	std::vector<double> degree( m, 0.0 );
	for ( int i = 0; i < m; ++i ) {
		Vec3 const& p = trace[part[i]];
		for ( int j = 0; j < i; ++j ) {
			Vec3 const& q = trace[part[j]];
			double const d2 = ( p[0] - q[0] ) * ( p[0] - q[0] ) + ( p[1] - q[1] ) * ( p[1] - q[1] )
			                  + ( p[2] - q[2] ) * ( p[2] - q[2] );
			double const w = contact_weight( d2 );
			if ( w <= 0.0 ) continue;
			lower[i].push_back( std::make_pair( j, w ) );
			degree[i] += w;
			degree[j] += w;
		}
	}
	std::vector<double> cumulative( m + 1, 0.0 );
	for ( int i = 0; i < m; ++i ) cumulative[i + 1] = cumulative[i] + degree[i];
	double const total = cumulative[m];
	if ( total <= 0.0 ) return none;

	// The stretch [i, j) against the rest; its internal weight grows by the
	// contacts of each added position with the stretch before it.
	double best = none;
	int bi = -1, bj = -1;
	for ( int i = 0; i < m; ++i ) {
		if ( i > 0 && i < settings.minSegment ) continue;
		double internal = 0.0;
		for ( int j = i + 1; j <= m; ++j ) {
			auto const& row = lower[j - 1];
			for ( auto it = row.rbegin(); it != row.rend() && it->first >= i; ++it ) internal += 2.0 * it->second;
			int const size = j - i;
			if ( size < settings.minDomain ) continue;
			if ( m - size < settings.minDomain ) break;
			if ( j < m && m - j < settings.minSegment ) continue;
			double const volA = cumulative[j] - cumulative[i];
			double const volB = total - volA;
			if ( volA <= 0.0 || volB <= 0.0 ) continue;
			double const cut = volA - internal;
			double const ncut = cut / volA + cut / volB;
			if ( ncut < best ) {
				best = ncut;
				bi = i;
				bj = j;
			}
		}
	}
	if ( bi < 0 ) return none;
	for ( int k = 0; k < m; ++k ) ( k >= bi && k < bj ? a : b ).push_back( part[k] );
	return best;
}

std::vector<std::vector<int> > split_domains( std::vector<Vec3> const& trace, DomainSplitSettings const& settings )
{
	std::vector<std::vector<int> > done;
	if ( trace.empty() ) return done;
	std::vector<int> all( trace.size() );
	for ( size_t i = 0; i < all.size(); ++i ) all[i] = (int)i;
	std::vector<std::vector<int> > todo( 1, all );
	while ( !todo.empty() ) {
		std::vector<int> part = todo.back();
		todo.pop_back();
		std::vector<int> a, b;
		if ( (int)part.size() >= settings.singleDomainBelow
		     && best_bipartition( trace, part, settings, a, b ) < settings.maxNormalisedCut ) {
			todo.push_back( a );
			todo.push_back( b );
		} else {
			done.push_back( part );
		}
	}
	std::sort( done.begin(), done.end(),
		[]( std::vector<int> const& x, std::vector<int> const& y ) { return x.front() < y.front(); } );
	return done;
}

std::vector<std::vector<int> > chain_domains( ChainModel const& model, int c, DomainSplitSettings const& settings )
{
	std::vector<int> const traced = model.traced_residues( c );
	std::vector<std::vector<int> > out;
	if ( traced.empty() ) return out;
	std::vector<Vec3> trace;
	for ( int r : traced ) trace.push_back( model.xyz[model.trace_atom( r )] );
	std::vector<std::vector<int> > const domains = split_domains( trace, settings );

	// Domain of every traced residue, then of the others by their neighbours.
	std::vector<int> const& residues = model.chains[c].residues;
	std::vector<int> owner( model.residues.size(), -1 );
	for ( size_t d = 0; d < domains.size(); ++d )
		for ( int k : domains[d] ) owner[traced[k]] = (int)d;
	int last = owner[traced.front()];
	out.assign( domains.size(), std::vector<int>() );
	for ( int r : residues ) {
		if ( owner[r] >= 0 ) last = owner[r];
		out[last].push_back( r );
	}
	return out;
}

std::string domain_log_line( ChainModel const& model, std::string const& name,
	std::vector<std::vector<int> > const& domains )
{
	size_t count = 0;
	for ( auto const& d : domains ) count += d.size();
	std::ostringstream line;
	line << name << " " << count << " " << domains.size();
	for ( auto const& d : domains ) {
		line << " (";
		// Runs of residues that follow each other in the file.
		for ( size_t k = 0; k < d.size(); ) {
			size_t e = k;
			while ( e + 1 < d.size() && d[e + 1] == d[e] + 1 ) ++e;
			if ( k > 0 ) line << ";";
			line << model.residues[d[k]].number << "-" << model.residues[d[e]].number;
			k = e + 1;
		}
		line << ")";
	}
	return line.str();
}

} // namespace siblings
