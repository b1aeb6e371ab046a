// Rasterseek: the local correlation of the model with the map for all
// translations at once, by FFT, two orientations at a time.
//
// With M the model's footprint mask and T the model density made zero-mean
// and unit-norm under M (zero outside it), the local correlation of the pose
// that puts the model centre on voxel t is
//   C(t) / sqrt(S2(t) - S1(t)^2 / N),   N = sum M,
//   C = sum_v T(v) rho(v + t),  S1 = sum_v M(v) rho(v + t),  S2 = sum_v M(v) rho(v + t)^2,
// that is the Pearson correlation of model and map over the voxels under
// the mask.  The three sums are correlations, done in Fourier space.  Real
// signals go in pairs through complex transforms: per orientation one
// forward transform of T + i M and one inverse of C + i S1; the S2 of two
// orientations share one inverse transform.
#include "apps/siblings/rasterseek_internal.hh"

#include <algorithm>
#include <cmath>

namespace rasterseek {
namespace detail {

using cpx = std::complex< double >;

namespace {

// (xr + i xi) y, without the library's checks for infinities.
inline cpx cmul( double xr, double xi, cpx const& y )
{
	return cpx( xr * y.real() - xi * y.imag(), xr * y.imag() + xi * y.real() );
}

} // namespace

Correlator::Correlator( SearchGrid const& grid, Spectrum const& mapF, Spectrum const& map2F, Model const& model,
	double sigma, double maskFraction, double varianceFloor )
	: grid_( grid ), mapF_( mapF ), map2F_( map2F ), model_( model ), sigma_( sigma ), maskFraction_( maskFraction ),
	  varianceFloor_( varianceFloor ), fft_( grid.n )
{
	std::size_t const nv = std::size_t( grid.size() );
	a_.assign( nv, cpx( 0.0, 0.0 ) );
	b_[ 0 ].resize( nv );
	b_[ 1 ].resize( nv );
	c_.resize( nv );
	moved_.resize( model.offsets.size() );
	// The window the model's density can reach, as a small grid of its own.
	for ( int a = 0; a < 3; ++a ) {
		cube_.n[ a ] = 2 * grid.reach[ a ] + 1;
		cube_.inner[ a ] = cube_.n[ a ];
		cube_.spacing[ a ] = grid.spacing[ a ];
	}
	cube_.values.resize( std::size_t( cube_.size() ) );
}

double Correlator::template_spectrum( Rotation const& rot, cpx* out )
{
	int const* h = grid_.reach;
	int const* n = grid_.n;
	// Model density in the window, the centre on the window's middle voxel.
	std::size_t const na = model_.weights.size();
	for ( std::size_t i = 0; i < na; ++i ) {
		double const* p = &model_.offsets[ 3 * i ];
		for ( int r = 0; r < 3; ++r )
			moved_[ 3 * i + r ] = rot.m[ r ][ 0 ] * p[ 0 ] + rot.m[ r ][ 1 ] * p[ 1 ] + rot.m[ r ][ 2 ] * p[ 2 ]
			                      + h[ r ] * grid_.spacing[ r ];
	}
	std::fill( cube_.values.begin(), cube_.values.end(), 0.0 );
	add_gaussians( moved_, model_.weights, cube_, sigma_, cube_.values.data() );

	// Footprint mask and the model density normalised under it, packed as
	// template + i mask onto the periodic grid (window middle at voxel 0).
	double const top = *std::max_element( cube_.values.begin(), cube_.values.end() );
	double const thr = maskFraction_ * top;
	double count = 0.0, sum = 0.0, sum2 = 0.0;
	for ( double v : cube_.values )
		if ( v > thr ) {
			count += 1.0;
			sum += v;
			sum2 += v * v;
		}
	if ( count < 2.0 ) return 0.0;
	double const mean = sum / count;
	double const var = sum2 - sum * mean;
	if ( !( var > 0.0 ) ) return 0.0;
	double const inv = 1.0 / std::sqrt( var );
	long const n0 = n[ 0 ], plane = n0 * n[ 1 ];
	for ( int k = 0; k < cube_.n[ 2 ]; ++k ) {
		long const gk = ( ( k - h[ 2 ] ) % n[ 2 ] + n[ 2 ] ) % n[ 2 ];
		for ( int j = 0; j < cube_.n[ 1 ]; ++j ) {
			long const gj = ( ( j - h[ 1 ] ) % n[ 1 ] + n[ 1 ] ) % n[ 1 ];
			double const* row = &cube_.values[ ( std::size_t( k ) * cube_.n[ 1 ] + j ) * cube_.n[ 0 ] ];
			cpx* dst = &a_[ gk * plane + gj * n0 ];
			for ( int i = 0; i < cube_.n[ 0 ]; ++i ) {
				long const gi = ( ( i - h[ 0 ] ) % n[ 0 ] + n[ 0 ] ) % n[ 0 ];
				dst[ gi ] = row[ i ] > thr ? cpx( ( row[ i ] - mean ) * inv, 1.0 ) : cpx( 0.0, 0.0 );
			}
		}
	}
	fft_.forward_window( a_.data(), out, h );
	fft_.clear_window( a_.data(), h );
	return count;
}

void Correlator::split_spectrum( cpx* b, bool second )
{
	// T(k) and M(k) come from b(k) and b(-k).  b receives conj(T) F + i conj(M) F
	// (template and mask against the map); conj(M) F2 (mask against the
	// squared map) goes into c, or i times it into c's imaginary half for the
	// second orientation.  Each pair of frequencies k, -k is done once; the map
	// spectra are those of real maps, F(-k) = conj(F(k)), and so is conj(M) F2.
	int const* n = grid_.n;
	long const n0 = n[ 0 ];
	cpx* c = c_.data();
	cpx const* f = mapF_.data();
	cpx const* f2 = map2F_.data();
	for ( int k = 0; k < n[ 2 ]; ++k ) {
		int const kn = ( n[ 2 ] - k ) % n[ 2 ];
		for ( int j = 0; j < n[ 1 ]; ++j ) {
			int const jn = ( n[ 1 ] - j ) % n[ 1 ];
			long const r = long( k ) * n[ 1 ] + j, rn = long( kn ) * n[ 1 ] + jn;
			if ( rn < r ) continue; // the partner row did this one
			long const row = r * n0, rown = rn * n0;
			for ( int i = 0; i < n[ 0 ]; ++i ) {
				int const in = i == 0 ? 0 : n[ 0 ] - i;
				if ( rn == r && in < i ) continue;
				long const l = row + i, m = rown + in;
				double const pr = b[ l ].real(), pi = b[ l ].imag(), qr = b[ m ].real(), qi = -b[ m ].imag();
				// T = (p + q) / 2 and M = -i (p - q) / 2, with q = conj(b(-k)).
				double const tr = 0.5 * ( pr + qr ), ti = 0.5 * ( pi + qi );
				double const mr = 0.5 * ( pi - qi ), mi = -0.5 * ( pr - qr );
				cpx const fl = f[ l ];
				// conj(T) + i conj(M) = (tr + mi) + i (mr - ti); at -k, T + i M.
				b[ l ] = cmul( tr + mi, mr - ti, fl );
				cpx const y = cmul( mr, -mi, f2[ l ] );
				if ( m != l ) b[ m ] = cmul( tr - mi, ti + mr, std::conj( fl ) );
				if ( !second ) {
					c[ l ] = y;
					if ( m != l ) c[ m ] = std::conj( y );
				} else {
					c[ l ] += cpx( -y.imag(), y.real() );
					if ( m != l ) c[ m ] += cpx( y.imag(), y.real() ); // i conj(y)
				}
			}
		}
	}
}

void Correlator::local_correlation( cpx const* b, bool second, double count, std::vector< double >& lcc ) const
{
	// Where the map under the mask is nearly flat (solvent, padding) the
	// pose is not scored.
	int const* in = grid_.inner;
	long const n0 = grid_.n[ 0 ], plane = n0 * grid_.n[ 1 ];
	cpx const* c = c_.data();
	lcc.resize( std::size_t( in[ 0 ] ) * in[ 1 ] * in[ 2 ] );
	double const floor = varianceFloor_ * count;
	std::size_t o = 0;
	for ( int k = 0; k < in[ 2 ]; ++k )
		for ( int j = 0; j < in[ 1 ]; ++j ) {
			long const row = k * plane + j * n0;
			for ( int i = 0; i < in[ 0 ]; ++i, ++o ) {
				double const s1 = b[ row + i ].imag();
				double const s2 = second ? c[ row + i ].imag() : c[ row + i ].real();
				double const den = s2 - s1 * s1 / count;
				lcc[ o ] = den > floor ? b[ row + i ].real() / std::sqrt( den ) : 0.0;
			}
		}
}

int Correlator::correlate( Rotation const* rots, int count, std::vector< double >* lcc )
{
	count = std::max( 0, std::min( count, 2 ) );
	double size[ 2 ] = { 0.0, 0.0 };
	int used = 0;
	for ( int r = 0; r < count; ++r ) {
		size[ r ] = template_spectrum( rots[ r ], b_[ r ].data() );
		if ( size[ r ] > 0.0 ) {
			split_spectrum( b_[ r ].data(), used > 0 );
			++used;
		}
	}
	if ( used == 0 ) return 0;
	int ok = 0;
	int slot = 0;
	for ( int r = 0; r < count; ++r ) {
		if ( !( size[ r ] > 0.0 ) ) continue;
		fft_.inverse_corner( b_[ r ].data(), grid_.inner );
		if ( slot == 0 ) fft_.inverse_corner( c_.data(), grid_.inner );
		local_correlation( b_[ r ].data(), slot == 1, size[ r ], lcc[ r ] );
		ok |= 1 << r;
		++slot;
	}
	return ok;
}

bool Correlator::correlate( Rotation const& rot, std::vector< double >& lcc )
{
	return correlate( &rot, 1, &lcc ) == 1;
}

void Correlator::run( Rotation const* rots, int const* index, int count, int peaks, std::vector< Peak >& out )
{
	int const ok = correlate( rots, count, lcc_ );
	for ( int r = 0; r < count && r < 2; ++r )
		if ( ok & ( 1 << r ) ) collect_peaks( lcc_[ r ], index[ r ], peaks, out );
}

void Correlator::collect_peaks( std::vector< double > const& lcc, int index, int peaks, std::vector< Peak >& out )
{
	int const* in = grid_.inner;
	long const sy = in[ 0 ], sz = long( in[ 0 ] ) * in[ 1 ];
	double const* L = lcc.data();
	best_.clear();
	for ( int k = 0; k < in[ 2 ]; ++k )
		for ( int j = 0; j < in[ 1 ]; ++j )
			for ( int i = 0; i < in[ 0 ]; ++i ) {
				long const here = k * sz + j * sy + i;
				double const s = L[ here ];
				if ( !( s > 0.0 ) ) continue;
				if ( int( best_.size() ) == peaks && s <= best_.back().score ) continue;
				// A local maximum among its neighbours on the map (26 at most).
				bool top = true;
				for ( int dk = std::max( k - 1, 0 ); dk <= std::min( k + 1, in[ 2 ] - 1 ) && top; ++dk )
					for ( int dj = std::max( j - 1, 0 ); dj <= std::min( j + 1, in[ 1 ] - 1 ) && top; ++dj )
						for ( int di = std::max( i - 1, 0 ); di <= std::min( i + 1, in[ 0 ] - 1 ) && top; ++di )
							if ( L[ dk * sz + dj * sy + di ] > s ) top = false;
				if ( !top ) continue;
				Peak p;
				p.score = s;
				p.rotation = index;
				// Between voxels by a parabola through each axis.
				int const c[ 3 ] = { i, j, k };
				long const stride[ 3 ] = { 1, sy, sz };
				for ( int a = 0; a < 3; ++a ) {
					double shift = 0.0;
					if ( c[ a ] > 0 && c[ a ] + 1 < in[ a ] ) {
						double const lo = L[ here - stride[ a ] ], hi = L[ here + stride[ a ] ];
						double const curv = lo - 2.0 * s + hi;
						if ( curv < 0.0 ) shift = std::max( -0.5, std::min( 0.5, 0.5 * ( lo - hi ) / curv ) );
					}
					p.cell[ a ] = c[ a ] + shift;
				}
				auto at = std::upper_bound(
					best_.begin(), best_.end(), p, []( Peak const& x, Peak const& y ) { return x.score > y.score; } );
				best_.insert( at, p );
				if ( int( best_.size() ) > peaks ) best_.pop_back();
			}
	out.insert( out.end(), best_.begin(), best_.end() );
}

} // namespace detail
} // namespace rasterseek
