object fpavANDMPrincipal: TfpavANDMPrincipal
  object dbsCurriculo: TDAODatabase
    Password = 'qorvimband'
    Version = '1.99'
  end
  object dstGeral: TvrxDataSet
    Database = dbsCurriculo
    Parameters = []
    OpenType = db_OpenDynaset
  end
end
