// Removal of fitted density: every voxel whose centre lies strictly within a
// radius of an atom of a placed model is set to a fill value, -10.0 unless
// the caller asks for another (below every density of a processed work map,
// which lie in [0, 1]; 0 marks the density as simply gone).
#include "density/DensityScore.hh"
#include "core/Protein.hh"
#include "core/basic_fun_Quilt.hh"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {

// Index range [lo, hi] of voxels whose centre may lie within r of the
// coordinate a along one axis; false when the range misses the grid.
bool axis_range( double a, double r, double orig, double w, unsigned ext, unsigned& lo, unsigned& hi )
{
	double const l = std::floor( ( a - r - orig ) / w );
	double const h = std::ceil( ( a + r - orig ) / w );
	if ( !( h >= 0 ) || !( l <= ext - 1.0 ) ) return false;
	lo = l < 0 ? 0u : static_cast<unsigned>( l );
	hi = h > ext - 1.0 ? ext - 1 : static_cast<unsigned>( h );
	return true;
}

} // namespace

void DensityScore::modifyDensityValue( unsigned extx, unsigned exty, unsigned extz,
	double origx, double origy, double origz, double width,
	double* values, double** atoms, int atomCount, double radius_, double fill )
{
	// Each atom visits only the voxels of its bounding box; a voxel is
	// marked (and counted) once however many atoms lie near it.
	unsigned long const n = static_cast<unsigned long>( extx ) * exty * extz;
	std::vector<unsigned char> marked( n, 0 );
	unsigned long count = 0;
	if ( width > 0.0 && std::isfinite( width ) && radius_ > 0.0 ) {
		unsigned long const exy = static_cast<unsigned long>( extx ) * exty;
		for ( int a = 0; a < atomCount; ++a ) {
			double const ax = atoms[a][0], ay = atoms[a][1], az = atoms[a][2];
			unsigned x0, x1, y0, y1, z0, z1;
			if ( !axis_range( ax, radius_, origx, width, extx, x0, x1 )
				|| !axis_range( ay, radius_, origy, width, exty, y0, y1 )
				|| !axis_range( az, radius_, origz, width, extz, z0, z1 ) ) continue;
			double const r2 = radius_ * radius_;
			for ( unsigned z = z0; z <= z1; ++z ) {
				double const dz = z * width + origz - az;
				for ( unsigned y = y0; y <= y1; ++y ) {
					double const dy = y * width + origy - ay;
					// Half-chord of the sphere along this row, a little wider
					// than exact so that rounding cannot drop a voxel; every
					// candidate is then tested exactly.
					double const rest = r2 - dy * dy - dz * dz;
					if ( rest < -1e-9 * r2 ) continue;
					double const half = std::sqrt( rest > 0 ? rest : 0.0 ) + 1e-6 * radius_;
					unsigned xa, xb;
					if ( !axis_range( ax, half, origx, width, extx, xa, xb ) ) continue;
					unsigned long const row = z * exy + static_cast<unsigned long>( y ) * extx;
					for ( unsigned x = xa; x <= xb; ++x ) {
						if ( marked[row + x] ) continue;
						double const dx = x * width + origx - ax;
						if ( std::sqrt( dx * dx + dy * dy + dz * dz ) < radius_ ) {
							marked[row + x] = 1;
							values[row + x] = fill;
							++count;
						}
					}
				}
			}
		}
	}
	std::printf( "ReadMrc_st> Marked voxels: %lu\n", count );
}

void DensityScore::modifyDensityValue( unsigned extx, unsigned exty, unsigned extz,
	double origx, double origy, double origz, double width,
	double* values, std::vector<double*> atoms, double radius_, double fill )
{
	int const n = static_cast<int>( atoms.size() );
	double** copy = new2DArr( n, 3 );
	for ( int i = 0; i < n; ++i ) {
		copy[i][0] = atoms[i][0];
		copy[i][1] = atoms[i][1];
		copy[i][2] = atoms[i][2];
	}
	modifyDensityValue( extx, exty, extz, origx, origy, origz, width, values, copy, n, radius_, fill );
	release2DArr( n, copy );
}

void DensityScore::RemoveMatchedRegion( std::string mapIn, std::string mapOut,
	std::string pdbFile, double radius_, double fill )
{
	// First chain only: reading stops at the first "TER".
	Protein model( pdbFile, false );
	model.readPDB();
	int n = 0;
	for ( Residue const& r : model.residues ) n += static_cast<int>( r.xyz.size() );
	if ( n == 0 ) std::printf( "ReadMrc_st> Warning! No atoms read from %s; no density is removed.\n", pdbFile.c_str() );
	double** atoms = new2DArr( n, 3 );
	int k = 0;
	for ( Residue const& r : model.residues ) {
		for ( double const* p : r.xyz ) {
			atoms[k][0] = p[0];
			atoms[k][1] = p[1];
			atoms[k][2] = p[2];
			++k;
		}
	}
	double width, ox, oy, oz;
	unsigned ex, ey, ez;
	double* phi = nullptr;
	read_vol( mapIn.c_str(), &width, &ox, &oy, &oz, &ex, &ey, &ez, &phi );
	modifyDensityValue( ex, ey, ez, ox, oy, oz, width, phi, atoms, n, radius_, fill );
	WriteMrc( 1, mapOut.c_str(), width, ox, oy, oz, ex, ey, ez, phi );
	release2DArr( n, atoms );
	std::free( phi );
}
