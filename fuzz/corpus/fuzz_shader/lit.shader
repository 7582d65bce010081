textures/base/grate
{
	qer_editorimage textures/base/grate.tga
	surfaceparm trans
	cull none
	{
		map textures/base/grate.tga
		alphaFunc GE128
		depthWrite
	}
	{
		map $lightmap
		blendFunc GL_DST_COLOR GL_ZERO
		depthFunc equal
	}
}
