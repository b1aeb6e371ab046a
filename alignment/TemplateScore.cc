// Template-scoring wrappers around StructAlign.
#include "alignment/TemplateScore.hh"

#include "core/basic_fun_Quilt.hh"

#include <cmath>
#include <cstring>

namespace {

// One alignment of x onto y on a working set of its own: allocate, copy
// coordinates, residue numbers and (when given) sequences, align, release
// the working set and the copies.  The record's arrays go to the caller.
StructAlignResult align_pair( int xlen, int ylen, double** x, double** y, int* xres, int* yres,
	int xsize, int ysize, char const* sx = nullptr, char const* sy = nullptr )
{
	if ( xsize < xlen ) xsize = xlen;
	if ( ysize < ylen ) ysize = ylen;
	tempxlen = xsize;
	tempylen = ysize;
	load_PDB_allocate_memory( xlen, ylen, xsize, ysize );

	double** xc = new2DArr( xsize, 3 );
	double** yc = new2DArr( ysize, 3 );
	for ( int i = 0; i < xlen; ++i ) {
		for ( int q = 0; q < 3; ++q ) xc[ i ][ q ] = x[ i ][ q ];
		xresno[ i ] = xres[ i ];
	}
	for ( int j = 0; j < ylen; ++j ) {
		for ( int q = 0; q < 3; ++q ) yc[ j ][ q ] = y[ j ][ q ];
		yresno[ j ] = yres[ j ];
	}
	seqx[ 0 ] = '\0';
	seqy[ 0 ] = '\0';
	if ( sx ) {
		std::strncpy( seqx, sx, xsize );
		seqx[ xsize ] = '\0';
	}
	if ( sy ) {
		std::strncpy( seqy, sy, ysize );
		seqy[ ysize ] = '\0';
	}

	StructAlignResult r = StructAlign( xlen, ylen, xc, yc, xresno, yresno );

	free_residue_arrays();
	release2DArr( tempxlen, xc );
	release2DArr( tempylen, yc );
	return r;
}

void copy_superposition( StructAlignResult const& r, double* t, double** u )
{
	for ( int i = 0; i < 3; ++i ) {
		t[ i ] = r.t[ i ];
		for ( int j = 0; j < 3; ++j ) u[ i ][ j ] = r.u[ i ][ j ];
	}
}

// Model (x) on target residues first .. first + len - 1 (y); the record's
// start, end and ali_y are shifted back to target positions.
StructAlignResult align_on_target_range( int lenM, double** model, int sizeM, char* seqM, int* resnoM,
	double** target, char* seqT, int* resnoT, int first, int len )
{
	StructAlignResult r = align_pair( lenM, len, model, target + first, resnoM, resnoT + first, sizeM,
		len, seqM, seqT ? seqT + first : nullptr );
	r.start += first;
	r.end += first;
	for ( int k = 0; k < r.n_ali8; ++k ) r.ali_y[ k ] += first;
	return r;
}

void hand_over( StructAlignResult const& r, double*& t, double**& u, int*& ali_y, int*& ali_x, int& start,
	int& end, int& n )
{
	t = r.t;
	u = r.u;
	ali_y = r.ali_y;
	ali_x = r.ali_x;
	start = r.start;
	end = r.end;
	n = r.n_ali8;
}

// Orders and mode from the pieces of a two-piece fit.
void decide_mode( TemplatescoreResult& out, double score1, double score2 )
{
	bool const order1 = out.n_ali8_W1 != 0 && out.n_ali8_R2 != 0;
	bool const order2 = out.n_ali8_W2 != 0 && out.n_ali8_R1 != 0;
	if ( order1 && order2 ) {
		if ( score1 > score2 ) {
			out.mode = 1;
			out.score = score1;
		} else {
			out.mode = 2;
			out.score = score2;
		}
	} else if ( order1 ) {
		out.mode = 1;
		out.score = score1;
	} else if ( order2 ) {
		out.mode = 2;
		out.score = score2;
	} else {
		out.mode = 3;
		out.score = 0.0;
	}
}

} // namespace

double Templatescore_native( int xlen, int ylen, double** x, double** y, int* xres, int* yres )
{
	StructAlignResult r = align_pair( xlen, ylen, x, y, xres, yres, xlen, ylen );
	double const tm = ( xlen < ylen ) ? r.tm_x : r.tm_y;
	release_StructAlignResult( r );
	return tm;
}

double Templatescore_native( int xlen, int ylen, double** x, double** y, int* xres, int* yres, int L )
{
	StructAlignResult r = align_pair( xlen, ylen, x, y, xres, yres, xlen, ylen );
	double const tm = ( L == ylen ) ? r.tm_y : r.tm_x;
	release_StructAlignResult( r );
	return tm;
}

double Templatescore_native( int xlen, int ylen, double** x, double** y, int* xres, int* yres, double* t,
	double** u )
{
	StructAlignResult r = align_pair( xlen, ylen, x, y, xres, yres, xlen, ylen );
	double const tm = ( xlen < ylen ) ? r.tm_x : r.tm_y;
	copy_superposition( r, t, u );
	release_StructAlignResult( r );
	return tm;
}

double Templatescore_model( int xlen, int ylen, double** x, double** y, int* xres, int* yres, int& n )
{
	StructAlignResult r = align_pair( xlen, ylen, x, y, xres, yres, xlen, ylen );
	n = r.n_ali8;
	double const tm = r.tm_y;
	release_StructAlignResult( r );
	return tm;
}

double Templatescore_native( int xlen, int ylen, double** x, double** y, int xsize, int ysize, char* sx,
	char* sy, int* xres, int* yres, double* t, double** u )
{
	StructAlignResult r = align_pair( xlen, ylen, x, y, xres, yres, xsize, ysize, sx, sy );
	double const tm = r.tm_x;
	copy_superposition( r, t, u );
	release_StructAlignResult( r );
	return tm;
}

double Templatelocalscore( int lenT, int len1, int len2, double** target, double** model1,
	double** model2, int sizeT, int size1, int size2, char* seqT, char* seq1, char* seq2,
	int* resnoT, int* resno1, int* resno2 )
{
	StructAlignResult r1 = align_pair( len1, lenT, model1, target, resno1, resnoT, size1, sizeT, seq1, seqT );
	StructAlignResult r2 = align_pair( len2, lenT, model2, target, resno2, resnoT, size2, sizeT, seq2, seqT );
	double const s = ( r1.tm_x + r2.tm_x ) * 0.5;
	release_StructAlignResult( r1 );
	release_StructAlignResult( r2 );
	return s;
}

TemplateLocalResult Template_local_score( int lenT, int len1, int len2, double** target,
	double** model1, double** model2, int sizeT, int size1, int size2, char* seqT, char* seq1,
	char* seq2, int* resnoT, int* resno1, int* resno2 )
{
	StructAlignResult r1 = align_pair( len1, lenT, model1, target, resno1, resnoT, size1, sizeT, seq1, seqT );
	StructAlignResult r2 = align_pair( len2, lenT, model2, target, resno2, resnoT, size2, sizeT, seq2, seqT );
	TemplateLocalResult out{ r1.t, r1.u, r2.t, r2.u };
	delete[] r1.ali_y;
	delete[] r1.ali_x;
	delete[] r2.ali_y;
	delete[] r2.ali_x;
	return out;
}

TemplatescoreResult Templatescore( int lenT, int len1, int len2, double** target, double** model1,
	double** model2, int sizeT, int size1, int size2, char* seqT, char* seq1, char* seq2,
	int* resnoT, int* resno1, int* resno2 )
{
	TemplatescoreResult out;

	// Order 1: model 1 on the whole target, model 2 on what follows it.
	StructAlignResult w1 = align_pair( len1, lenT, model1, target, resno1, resnoT, size1, sizeT, seq1, seqT );
	hand_over( w1, out.t_W1, out.u_W1, out.ali_y_W1, out.ali_x_W1, out.start_W1, out.end_W1, out.n_ali8_W1 );
	double score1 = w1.tm_x;
	int const rest = lenT - w1.end - 1;
	if ( rest > 5 ) {
		StructAlignResult r2 = align_on_target_range( len2, model2, size2, seq2, resno2, target, seqT, resnoT,
			w1.end + 1, rest );
		hand_over( r2, out.t_R2, out.u_R2, out.ali_y_R2, out.ali_x_R2, out.start_R2, out.end_R2, out.n_ali8_R2 );
		score1 += r2.tm_x;
	}
	score1 *= 0.5;

	// Order 2: model 2 on the whole target, model 1 on what precedes it.
	StructAlignResult w2 = align_pair( len2, lenT, model2, target, resno2, resnoT, size2, sizeT, seq2, seqT );
	hand_over( w2, out.t_W2, out.u_W2, out.ali_y_W2, out.ali_x_W2, out.start_W2, out.end_W2, out.n_ali8_W2 );
	double score2 = w2.tm_x;
	if ( w2.start > 5 ) {
		StructAlignResult r1 = align_on_target_range( len1, model1, size1, seq1, resno1, target, seqT, resnoT,
			0, w2.start );
		hand_over( r1, out.t_R1, out.u_R1, out.ali_y_R1, out.ali_x_R1, out.start_R1, out.end_R1, out.n_ali8_R1 );
		score2 += r1.tm_x;
	}
	score2 *= 0.5;

	decide_mode( out, score1, score2 );
	return out;
}

TemplatescoreResult Templatescoredis( int lenT, int len1, int len2, double** target, double** model1,
	double** model2, int sizeT, int size1, int size2, char* seqT, char* seq1, char* seq2,
	int* resnoT, int* resno1, int* resno2, int* marks )
{
	TemplatescoreResult out;

	// Order 1: model 2 on the target stretch between the residues paired
	// with the model-1 residues nearest to marks[0] and marks[1].
	StructAlignResult w1 = align_pair( len1, lenT, model1, target, resno1, resnoT, size1, sizeT, seq1, seqT );
	hand_over( w1, out.t_W1, out.u_W1, out.ali_y_W1, out.ali_x_W1, out.start_W1, out.end_W1, out.n_ali8_W1 );
	double score1 = w1.tm_x;
	int count = 1;
	int s = 0, e = 0;
	if ( w1.n_ali8 > 1 ) {
		int const m0 = marks[ 0 ], m1 = marks[ 1 ];
		int best0 = std::abs( w1.ali_x[ 0 ] - m0 );
		int best1 = std::abs( w1.ali_x[ 0 ] - m1 );
		for ( int k = 1; k < w1.n_ali8; ++k ) {
			int const a0 = std::abs( w1.ali_x[ k ] - m0 );
			int const a1 = std::abs( w1.ali_x[ k ] - m1 );
			if ( a0 < best0 ) {
				best0 = a0;
				s = w1.ali_y[ k ] + 1;
			}
			if ( a1 < best1 ) {
				best1 = a1;
				e = w1.ali_y[ k ] - 1;
			}
		}
		count = e - s + 1;
	}
	// The stretch must lie inside the target.
	if ( count >= 6 && s >= 0 && s + count <= lenT ) {
		StructAlignResult r2 = align_on_target_range( len2, model2, size2, seq2, resno2, target, seqT, resnoT,
			s, count );
		hand_over( r2, out.t_R2, out.u_R2, out.ali_y_R2, out.ali_x_R2, out.start_R2, out.end_R2, out.n_ali8_R2 );
		score1 += r2.tm_x;
	}
	score1 *= 0.5;

	// Order 2: model 1 on the target without the span of W2.
	StructAlignResult w2 = align_pair( len2, lenT, model2, target, resno2, resnoT, size2, sizeT, seq2, seqT );
	hand_over( w2, out.t_W2, out.u_W2, out.ali_y_W2, out.ali_x_W2, out.start_W2, out.end_W2, out.n_ali8_W2 );
	double score2 = w2.tm_x;
	int const span = w2.end - w2.start + 1;
	int const rest = lenT - ( w2.end - w2.start ) - 1;
	if ( rest >= 6 && w2.start >= 0 && w2.end < lenT ) {
		// The remaining residues, in order, as a chain of their own.
		std::vector< double* > rows;
		std::vector< int > res;
		std::string seq;
		for ( int k = 0; k < lenT; ++k ) {
			if ( k >= w2.start && k <= w2.end ) continue;
			rows.push_back( target[ k ] );
			res.push_back( resnoT[ k ] );
			if ( seqT ) seq.push_back( seqT[ k ] );
		}
		int const nrest = static_cast< int >( rows.size() );
		StructAlignResult r1 = align_pair( len1, nrest, model1, rows.data(), resno1, res.data(), size1, nrest,
			seq1, seqT ? seq.c_str() : nullptr );
		for ( int k = 0; k < r1.n_ali8; ++k ) {
			if ( r1.ali_y[ k ] >= w2.start ) r1.ali_y[ k ] += span;
		}
		r1.end += w2.start;
		hand_over( r1, out.t_R1, out.u_R1, out.ali_y_R1, out.ali_x_R1, out.start_R1, out.end_R1, out.n_ali8_R1 );
		score2 += r1.tm_x;
	}
	score2 *= 0.5;

	decide_mode( out, score1, score2 );
	return out;
}

void release_TemplatescoreResult( TemplatescoreResult& r )
{
	for ( double** t : { &r.t_W1, &r.t_R2, &r.t_R1, &r.t_W2 } ) {
		delete[] * t;
		*t = nullptr;
	}
	for ( double*** u : { &r.u_W1, &r.u_R2, &r.u_R1, &r.u_W2 } ) {
		if ( *u ) release2DArr( 3, *u );
		*u = nullptr;
	}
	for ( int** a : { &r.ali_y_W1, &r.ali_x_W1, &r.ali_y_R2, &r.ali_x_R2, &r.ali_y_R1, &r.ali_x_R1,
		      &r.ali_y_W2, &r.ali_x_W2 } ) {
		delete[] * a;
		*a = nullptr;
	}
}

namespace {

// Moves domain `from` by its superposition onto domain `to` and writes the
// moved points into out at the residues of `from`.
void move_domain_onto( double** xyz, int n, std::vector< int > const& from, std::vector< int > const& to,
	double** out )
{
	std::vector< int > rf, rt;
	for ( int r : from ) {
		if ( r >= 1 && r <= n ) rf.push_back( r );
	}
	for ( int r : to ) {
		if ( r >= 1 && r <= n ) rt.push_back( r );
	}
	int const lf = static_cast< int >( rf.size() );
	int const lt = static_cast< int >( rt.size() );
	double** pf = new2DArr( lf, 3 );
	double** pt = new2DArr( lt, 3 );
	std::vector< int > nf( lf ), nt( lt );
	for ( int k = 0; k < lf; ++k ) {
		for ( int q = 0; q < 3; ++q ) pf[ k ][ q ] = xyz[ rf[ k ] - 1 ][ q ];
		nf[ k ] = k;
	}
	for ( int k = 0; k < lt; ++k ) {
		for ( int q = 0; q < 3; ++q ) pt[ k ][ q ] = xyz[ rt[ k ] - 1 ][ q ];
		nt[ k ] = k;
	}
	double tt[ 3 ];
	double** uu = new2DArr( 3, 3 );
	Templatescore_native( lf, lt, pf, pt, nf.data(), nt.data(), tt, uu );
	double** moved = new2DArr( lf, 3 );
	do_rotation( pf, moved, lf, tt, uu );
	for ( int k = 0; k < lf; ++k ) {
		for ( int q = 0; q < 3; ++q ) out[ rf[ k ] - 1 ][ q ] = moved[ k ][ q ];
	}
	release2DArr( lf, moved );
	release2DArr( 3, uu );
	release2DArr( lf, pf );
	release2DArr( lt, pt );
}

} // namespace

void domexc( double** xyz, int n, std::vector< std::vector< int > > domains, int a, int b, double** out )
{
	for ( int i = 0; i < n; ++i ) {
		for ( int q = 0; q < 3; ++q ) out[ i ][ q ] = xyz[ i ][ q ];
	}
	int const nd = static_cast< int >( domains.size() );
	if ( a < 0 || a >= nd || b < 0 || b >= nd ) return;
	move_domain_onto( xyz, n, domains[ a ], domains[ b ], out );
	move_domain_onto( xyz, n, domains[ b ], domains[ a ], out );
}

void domexc( double** xyz, int n, std::vector< std::vector< int > > domains,
	std::vector< std::array< int, 2 > > pairs, std::vector< double* > points, double** dist_out,
	double** out )
{
	int const count = static_cast< int >( pairs.size() );
	if ( count < 1 ) {
		for ( int i = 0; i < n; ++i ) {
			for ( int q = 0; q < 3; ++q ) out[ i ][ q ] = xyz[ i ][ q ];
		}
		return;
	}
	// Single precision as the pick has always been made; a product that
	// rounds up to count is kept inside the list.
	int index = static_cast< int >( static_cast< float >( ran() ) * static_cast< float >( count ) );
	if ( index >= count ) index = count - 1;
	if ( index < 0 ) index = 0;
	int const a = pairs[ index ][ 0 ];
	int const b = pairs[ index ][ 1 ];
	domexc( xyz, n, domains, a, b, out );

	int const nd = static_cast< int >( domains.size() );
	int const np = static_cast< int >( points.size() );
	for ( int d : { a, b } ) {
		if ( d < 0 || d >= nd ) continue;
		for ( int r : domains[ d ] ) {
			if ( r < 1 || r > n ) continue;
			for ( int k = 0; k < np; ++k ) dist_out[ k ][ r - 1 ] = distance( points[ k ], out[ r - 1 ] );
		}
	}
}
