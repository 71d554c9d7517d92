"""Vorlane: morphs between closed genus-0 meshes of any connectivity.

A mesh is a pair (V, F): V an (n, 3) array of floats, F an (m, 3) array of
integers counting vertices from 0, triangles counter-clockwise seen from
outside. A built-in model's name ("cube", "icosahedron", ...) stands in for a
pair wherever one is taken.

    import vorlane
    V, F = vorlane.read_mesh("rock.ply")
    m = vorlane.morph(V, F, "icosahedron")
    halfway = m.at(0.5)          # (k, 3) float64, over m.faces
    m.write("morph.glb")
"""

from ._vorlane import Morph, builtin_models, read_mesh, _morph

__all__ = ["Morph", "builtin_models", "morph", "read_mesh"]


def _inputs(args):
    # morph(V1, F1, V2, F2), morph(name, V2, F2), morph(V1, F1, name),
    # morph(name, name), or morph((V1, F1), (V2, F2)).
    rest = list(args)
    meshes = []
    while rest:
        if isinstance(rest[0], str) or (isinstance(rest[0], tuple) and len(rest[0]) == 2):
            meshes.append(rest.pop(0))
        elif len(rest) >= 2:
            meshes.append((rest.pop(0), rest.pop(0)))
        else:
            raise TypeError("morph() takes a source and a target, each a (V, F) pair or a built-in model's name")
    if len(meshes) != 2:
        raise TypeError("morph() takes a source and a target, each a (V, F) pair or a built-in model's name")
    return meshes


def morph(*meshes, embedding="auto", landmarks=None, threads=0, source_centre=None, target_centre=None,
          progress=None, max_triangles=None, tolerance=None, path=None):
    """Merges the source into the target and returns the Morph.

    embedding: "auto", "central" or "spherical", as the tool's --embedding.
    landmarks: (k, 2) pairs of source and target vertices (of V as given)
    that should meet. threads: 0 for every core. source_centre,
    target_centre: the points to project about, as --source-centre.
    progress: called now and then as progress(phase, fraction), from one
    thread at a time, with the interpreter's lock held; while the merge runs
    other Python threads go on. Raises ValueError with the tool's one-line
    reason for an input that cannot be merged. max_triangles, tolerance:
    simplify the merged mesh, as the tool's --max-triangles and --tolerance;
    the summary then holds triangles_before, triangles_after, start_distance
    and end_distance. path: "shape" (the default for meshes) or "linear"
    (the default for two built-in models), as --path: Morph.at and
    Morph.write follow it.
    """
    source, target = _inputs(meshes)
    return _morph(source, target, embedding=embedding, landmarks=landmarks, threads=threads,
                  source_centre=source_centre, target_centre=target_centre, progress=progress,
                  max_triangles=max_triangles, tolerance=tolerance, path=path)
