#include "fitting/Minimizer.hh"

#include <algorithm>
#include <cmath>
#include <iostream>

bool fractional_converge_test( double a, double b )
{
	return 2.0 * std::fabs( a - b ) <= 1e-4 * ( std::fabs( a ) + std::fabs( b ) + 1e-10 );
}

bool absolute_converge_test( double a, double b )
{
	return std::fabs( a - b ) <= 1e-4;
}

// ---------------------------------------------------------------- func_1d

func_1d::func_1d( int n, double* start, double* dir, Multifunc const& f )
	: n_( n ), start_( start ), dir_( dir ), eval_point_( n > 0 ? n : 0, 0.0 ), func_( &f ),
	  eval_count_( 0 ) {}

double func_1d::operator()( double a )
{
	++eval_count_;
	for ( int i = 0; i < n_; ++i ) eval_point_[i] = start_[i] + a * dir_[i];
	return ( *func_ )( eval_point_.data() );
}

void func_1d::dump( double a )
{
	for ( int i = 0; i < n_; ++i ) eval_point_[i] = start_[i] + a * dir_[i];
	func_->dump( start_, eval_point_.data() );
}

// ---------------------------------------------------------------- line search

double ArmijoLineMinimization::operator()( int n, double* x, double* d )
{
	++num_linemin_calls_;
	func_1d phi( n, x, d, *func_ );

	double dmax = 0.0;
	for ( int i = 0; i < n; ++i ) dmax = std::max( dmax, std::fabs( d[i] ) );
	// No usable direction: stay put and leave the last step as it was.
	if ( n <= 0 || dmax < 1e-4 ) return ( *func_ )( x );

	double const a0 = std::min( 2.0 * last_accepted_step_, max_step_limit_ );
	double const f = Armijo( a0, phi );

	for ( int i = 0; i < n; ++i ) {
		d[i] *= last_accepted_step_;
		x[i] += d[i];
	}
	return f;
}

double ArmijoLineMinimization::Armijo( double a0, func_1d& phi )
{
	double const f0 = func_to_beat_;
	double const g0 = deriv_sum_;

	double f = phi( a0 );
	++num_calls_;
	last_accepted_step_ = a0;

	// Clearly sufficient decrease: try one step twice as long.
	if ( f < f0 + 0.8 * a0 * g0 ) {
		double const f2 = phi( 2.0 * a0 );
		++num_calls_;
		if ( f2 < f ) {
			last_accepted_step_ = 2.0 * a0;
			return f2;
		}
		return f;
	}

	double a = a0;
	while ( f > f0 + 0.1 * a * g0 ) {
		if ( a <= 1e-5 * a0 || ( a < 1e-8 && f >= f0 ) ) {
			if ( !silent_ ) {
				std::cout << "Inaccurate G! step= " << a << " Deriv= " << g0
				          << " Finite Diff= " << ( f - f0 ) / a << std::endl;
			}
			phi.dump( a );
			last_accepted_step_ = 0.0;
			return f0;
		}
		a *= 0.25;
		f = phi( a );
		++num_calls_;
	}
	last_accepted_step_ = a;
	return f;
}

// ---------------------------------------------------------------- LBFGS

double Minimizer::run( double* x, int n, int maxiter, std::string type )
{
	std::shared_ptr<LineMinimizationAlgorithm> search =
		std::make_shared<ArmijoLineMinimization>( func_, true, 1.0 );
	search->silent_ = true;
	double fret = 0.0;
	lbfgs( x, n, fret, search, maxiter, type, false );
	search.reset();
	return func_( x );
}

void Minimizer::lbfgs( double* x, int n, double& fret, std::shared_ptr<LineMinimizationAlgorithm> search,
	int maxiter, std::string type, bool rescore )
{
	LineMinimizationAlgorithm& ls = *search;
	int const PAST = ls.nonmonotone_ ? 3 : 1;
	int const M = HISTORY;
	if ( n < 0 ) n = 0;

	xp_.assign( n, 0.0 );
	s_.assign( n, 0.0 );
	g_.assign( n, 0.0 );
	gp_.assign( n, 0.0 );
	y_.assign( n, 0.0 );
	d_.assign( n, 0.0 );
	pf_.assign( PAST, 0.0 );
	// The history is reused between runs of the same size; a restart of the
	// pair count makes old entries unreachable.
	if ( (int)history_.size() != M || (int)history_[0].s.size() != n ) {
		history_.assign( M, Pair() );
		for ( Pair& p : history_ ) {
			p.s.assign( n, 0.0 );
			p.y.assign( n, 0.0 );
		}
	}
	double* const g = g_.data();
	double* const d = d_.data();

	fret = func_( x );
	pf_[0] = fret;
	func_.dfunc( x, g );
	if ( rescore ) fret = pf_[0] = func_( x );

	for ( int i = 0; i < n; ++i ) d[i] = -g[i];
	if ( ls.nonmonotone_ ) ls.last_accepted_step_ = 0.005;

	if ( maxiter < 1 ) return;

	double prior = fret;
	int K = 1;      // values held in pf
	int point = 1;  // 1-based history slot for the next pair
	int stored = 1; // one more than the pairs stored since the last restart
	bool good = true;

	auto dot = []( double const* a, double const* b, int len ) {
		double s = 0.0;
		for ( int i = 0; i < len; ++i ) s += a[i] * b[i];
		return s;
	};

	for ( int iter = 1; iter <= maxiter; ++iter ) {
		if ( good ) {
			std::copy( x, x + n, xp_.begin() );
			gp_ = g_;
		}
		double slope = dot( g, d, n );
		double gmax = 0.0;
		for ( int i = 0; i < n; ++i ) gmax = std::max( gmax, std::fabs( g[i] ) );

		ls.func_to_beat_ = pf_[0];
		for ( int j = 1; j < K; ++j ) ls.func_to_beat_ = std::max( ls.func_to_beat_, pf_[j] );

		// Not a descent direction: flip the offending components, else fall
		// back to steepest descent.
		if ( slope > -1e-5 ) {
			for ( int i = 0; i < n; ++i )
				if ( d[i] * g[i] >= 0.0 ) d[i] = -d[i];
			slope = dot( g, d, n );
			if ( slope > -1e-5 ) {
				for ( int i = 0; i < n; ++i ) d[i] = -g[i];
				slope = -dot( g, g, n );
				if ( slope < -1e-12 ) {
					K = 1;
					pf_[0] = fret;
					ls.func_to_beat_ = fret;
				}
			}
		}
		ls.deriv_sum_ = slope;

		fret = ls( n, x, d );

		bool converged;
		if ( type == "fractional" ) converged = fractional_converge_test( fret, prior );
		else if ( type == "maxstep" ) converged = iter >= maxiter;
		else converged = absolute_converge_test( fret, prior );
		if ( ls.last_accepted_step_ == 0.0 ) converged = true;

		bool restarted = false;
		if ( converged ) {
			if ( gmax <= 1.0 ) return;
			if ( ls.last_accepted_step_ == 0.0 ) {
				// No move although the gradient is large: one steepest-descent restart.
				for ( int i = 0; i < n; ++i ) d[i] = -g[i];
				slope = -dot( g, g, n );
				if ( slope > -1e-5 ) return;
				ls.deriv_sum_ = slope;
				ls.last_accepted_step_ = 1.0 / std::sqrt( -slope );
				pf_[0] = fret;
				fret = ls( n, x, d );
				if ( ls.last_accepted_step_ == 0.0 ) return;
				K = 1;
				point = 1;
				stored = 1;
				prior = fret;
				restarted = true;
			}
		}
		if ( !restarted ) prior = fret;

		// Value memory of the non-monotone search.
		if ( K < PAST ) {
			++K;
		} else {
			for ( int j = 0; j + 1 < PAST; ++j ) pf_[j] = pf_[j + 1];
		}
		pf_[K - 1] = prior;

		gp_ = g_;
		func_.dfunc( x, g );
		if ( rescore ) fret = func_( x );

		for ( int i = 0; i < n; ++i ) {
			s_[i] = x[i] - xp_[i];
			y_[i] = g[i] - gp_[i];
		}
		double const ys = dot( y_.data(), s_.data(), n );

		if ( std::fabs( ys ) < 1e-6 ) {
			good = false;
		} else {
			Pair& p = history_[point - 1];
			p.s = s_;
			p.y = y_;
			p.ys = ys;
			++stored;
			++point;
			if ( point > M ) point = 1;
			good = true;
		}

		int const bound = std::min( stored - 1, M );
		for ( int i = 0; i < n; ++i ) d[i] = -g[i];

		// Two-loop recursion, identity as the starting matrix.
		int slot = point;
		for ( int pts = 0; pts < bound; ++pts ) {
			--slot;
			if ( slot < 1 ) slot = M;
			Pair& p = history_[slot - 1];
			p.alpha = dot( p.s.data(), d, n ) / p.ys;
			for ( int i = 0; i < n; ++i ) d[i] -= p.alpha * p.y[i];
		}
		for ( int pts = 0; pts < bound; ++pts ) {
			Pair& p = history_[slot - 1];
			double const beta = dot( p.y.data(), d, n ) / p.ys;
			for ( int i = 0; i < n; ++i ) d[i] += ( p.alpha - beta ) * p.s[i];
			++slot;
			if ( slot > M ) slot = 1;
		}
	}
}
