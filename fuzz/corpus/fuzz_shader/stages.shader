t/water
{
	deformVertexes wave 100 sin 0 2 0 0.5
	deformVertexes bulge 3 2 1
	deformVertexes move 0 0 1 sawtooth 0 4 0 1e30
	deformVertexes normal 0.5 nan
	deformVertexes autosprite2
	fogparms ( 0.1 0.2 0.3 ) 512
	skyparms env/sky 256 -
	sort additive
	polygonOffset
	{
		animMap 0 a.tga b.tga c.tga d.tga e.tga f.tga g.tga h.tga i.tga
		tcGen environment
		tcMod turb 0 1e30 0 1
		tcMod stretch triangle 0 0 0 1
		tcMod rotate nan
		tcMod transform 1 0 0 1 0.5 0.5
		rgbGen wave noise 0.5 0.5 0 1e38
		alphaGen wave inversesawtooth 0 1 0 1
		blendFunc GL_SRC_ALPHA GL_ONE_MINUS_SRC_ALPHA
		depthWrite
		depthFunc equal
	}
	{
		clampMap $whiteimage
		rgbGen const ( 2 -1 0.5 )
		alphaGen portal
		alphaFunc GE128
	}
}
