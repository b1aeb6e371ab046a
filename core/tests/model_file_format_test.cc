// Recognising a model file in mmCIF format, which the PDB readers would
// otherwise call a file without atoms.
#include "core/model_file_format.hh"
#include "testsupport/test_data.hh"

#include <fstream>
#include <gtest/gtest.h>

TEST( ModelFileFormat, MmcifIsKnownByItsDataBlockOrItsAtomSites )
{
	// As the PDB writes it, and as a program may: comments and blank lines
	// first, CR LF line ends, upper-case "DATA_".
	EXPECT_TRUE( mmcif_text( { "data_1ABC", "#", "loop_", "_atom_site.group_PDB" } ) );
	EXPECT_TRUE( mmcif_text( { "", "# written by hand", "  data_model\r", "_cell.length_a 10" } ) );
	EXPECT_TRUE( mmcif_text( { "DATA_X" } ) );
	// The head cut off: the atom-site loop still tells.
	EXPECT_TRUE( mmcif_text( { "loop_", "_atom_site.group_PDB", "_atom_site.id", "ATOM 1 N N . MET A 1 1 ? 1 2 3" } ) );

	// PDB texts, also ones whose words look like mmCIF further in.
	EXPECT_FALSE( mmcif_text( {} ) );
	EXPECT_FALSE( mmcif_text( { "HEADER    data_1ABC", "ATOM      1  CA  ALA A   1       0.000   0.000   0.000" } ) );
	EXPECT_FALSE( mmcif_text( { "REMARK   1 data_", "REMARK   2 _atom_site.id", "END" } ) );
	EXPECT_FALSE( mmcif_text( { "ATOM      1  CA  ALA A   1       0.000   0.000   0.000", "data_later" } ) );
}

TEST( ModelFileFormat, FilesAreReadOnlyAsFarAsNeeded )
{
	quilt_test::ScratchDir dir( "core_format" );
	std::string const cif = dir.file( "m.pdb" ), pdb = dir.file( "p.pdb" ), blob = dir.file( "blob.pdb" );
	std::ofstream( cif ) << "data_m\n#\nloop_\n_atom_site.group_PDB\nATOM 1 C CA . ALA A 1 1 ? 0 0 0\n";
	std::ofstream( pdb ) << "ATOM      1  CA  ALA A   1       0.000   0.000   0.000\nEND\n";
	// 6 MB without a line end, then an atom-site line: past what is read.
	{
		std::ofstream out( blob, std::ios::binary );
		out << std::string( 6 << 20, 'x' ) << "\n_atom_site.id\n";
	}
	EXPECT_TRUE( mmcif_file( cif ) );
	EXPECT_FALSE( mmcif_file( pdb ) );
	EXPECT_FALSE( mmcif_file( blob ) );
	EXPECT_FALSE( mmcif_file( dir.file( "absent.pdb" ) ) );
	EXPECT_EQ( mmcif_reason(), "it looks like an mmCIF file, and only PDB format files are read" );
}
